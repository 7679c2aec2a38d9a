#pragma once
// The command line: "qmset SUBCOMMAND [OPTIONS]" for scripts and
// production lines, and "qmset --help" / "--version". It needs no display:
// it runs under a QCoreApplication, drives the pages' exchanges on fields
// held in memory and reports on stdout and stderr.

namespace qm::cli {

// True when the arguments ask for the command line rather than the window:
// a subcommand as the first argument, or --help, -h or --version.
bool Handles(int argc, char **argv);
// Runs it; returns the exit code.
int Run(int argc, char **argv);

} // namespace qm::cli
