#pragma once
// Storing the data-radio page in the parameter file (section File_DK618)
// and loading it back. Works on the page through FieldAccess.

#include <QString>

namespace qm {

class FieldAccess;
class Prompts;
class Report;

class RadioFile {
public:
    RadioFile(FieldAccess &fields, Report &report, Prompts &prompts);

    // True when the file was stored or loaded (not cancelled).
    bool Dk618_Save_FileClick();
    // chosen receives the file chosen, empty when cancelled.
    bool Dk618_Read_FileClick(QString *chosen = nullptr);

    // Writes the 28 keys in one atomic save; throws Error naming the file.
    void Store(const QString &path);
    // Reads the 28 keys in order, each with its default, setting each field
    // as soon as its key is read; a value that is no integer throws and the
    // later fields keep what they held. False when the file holds no key of
    // the section: every field took its default.
    bool Load(const QString &path);

private:
    FieldAccess &f_;
    Report &report_;
    Prompts &prompts_;
};

// Item index of a stored line rate: r / 300 read like the radio's rate code
// (0 or odd -> 0, else the integer log2); 7 and more select nothing (-1).
int RateItemOfStoredRate(qint32 rate);

} // namespace qm
