#pragma once
// A real device server for tests and benchmarks: Debian's ser2net, started
// on free TCP ports of 127.0.0.1 with a configuration of its own in a
// temporary folder, in front of devices such as a simulated unit's pseudo
// terminal (ser2net opens the link path as its serial device and puts the
// line settings a client sends on it). It can be killed, as a server that
// crashes or loses power, and started again on the same ports.
//
// Header only, usable from any test or benchmark target.

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QList>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTcpServer>
#include <QTemporaryDir>

class Ser2NetServer {
public:
    struct Port {
        bool telnet = true;                // telnet (rfc2217://), else raw TCP (socket://)
        QString device;                    // the serial device ser2net opens
        QString line = QStringLiteral("19200n81"); // its line until a client sets another
        bool lineControl = true;           // telnet with RFC 2217's com-port option
        quint16 tcpPort = 0;               // given by start()
    };

    ~Ser2NetServer() { stop(); }

    static QString Program()
    {
        const QString onPath = QStandardPaths::findExecutable(QStringLiteral("ser2net"));
        return onPath.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("ser2net"), {"/usr/sbin", "/usr/local/sbin"}) : onPath;
    }

    // Starts ser2net for ports, each on a free port of 127.0.0.1, and waits
    // until all of them listen. False with errorString().
    bool start(const QList<Port> &ports)
    {
        stop();
        ports_ = ports;
        for (Port &p : ports_) {
            QTcpServer probe;
            if (!probe.listen(QHostAddress::LocalHost, 0)) {
                error_ = QStringLiteral("no free port: %1").arg(probe.errorString());
                return false;
            }
            p.tcpPort = probe.serverPort();
        }
        return launch();
    }

    // ser2net again, on the ports it had.
    bool restart() { return launch(); }

    // Ends it at once: its connections close as a crashed server's do.
    void kill()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.kill();
        process_.waitForFinished(3000);
    }

    void stop()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(3000))
            kill();
    }

    QString errorString() const { return error_; }
    quint16 tcpPort(int i = 0) const { return ports_.value(i).tcpPort; }
    // "rfc2217://127.0.0.1:PORT" or "socket://127.0.0.1:PORT".
    QString url(int i = 0) const
    {
        const Port p = ports_.value(i);
        return QStringLiteral("%1://127.0.0.1:%2").arg(p.telnet ? QStringLiteral("rfc2217") : QStringLiteral("socket")).arg(p.tcpPort);
    }

private:
    bool launch()
    {
        stop();
        const QString program = Program();
        if (program.isEmpty()) {
            error_ = QStringLiteral("ser2net is not installed (scripts/setup installs it)");
            return false;
        }
        if (!dir_.isValid()) {
            error_ = QStringLiteral("no temporary folder");
            return false;
        }
        QByteArray yaml = "%YAML 1.1\n---\n";
        for (int i = 0; i < ports_.size(); ++i) {
            const Port &p = ports_[i];
            yaml += QStringLiteral("connection: &port%1\n"
                                   "  accepter: %2tcp,127.0.0.1,%3\n"
                                   "  connector: \"serialdev,%4,%5,local\"\n")
                        .arg(i)
                        .arg(!p.telnet ? QString() : p.lineControl ? QStringLiteral("telnet(rfc2217),") : QStringLiteral("telnet,"))
                        .arg(p.tcpPort)
                        .arg(p.device, p.line)
                        .toUtf8();
        }
        const QString config = dir_.filePath(QStringLiteral("ser2net.yaml"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly) || file.write(yaml) != yaml.size() || !file.flush()) {
            error_ = QStringLiteral("cannot write %1").arg(config);
            return false;
        }
        file.close();
        // In the foreground, without lock files, its pid file kept here.
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(program, {"-n", "-u", "-P", dir_.filePath(QStringLiteral("ser2net.pid")), "-c", config});
        if (!process_.waitForStarted(5000)) {
            error_ = QStringLiteral("%1 did not start: %2").arg(program, process_.errorString());
            return false;
        }
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 5000) {
            bool all = true;
            for (const Port &p : ports_)
                all = all && listening(p.tcpPort);
            if (all)
                return true;
            if (process_.state() == QProcess::NotRunning || process_.waitForFinished(20)) {
                error_ = QStringLiteral("ser2net ended: %1").arg(QString::fromLocal8Bit(process_.readAll()).trimmed());
                return false;
            }
        }
        error_ = QStringLiteral("ser2net does not listen on its ports after 5 s: %1").arg(QString::fromLocal8Bit(process_.readAll()).trimmed());
        stop();
        return false;
    }

    // Whether something listens on port of 127.0.0.1, from the kernel's
    // table: asking by connecting would open the device behind it.
    static bool listening(quint16 port)
    {
        const QByteArray local = "0100007F:" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
        QFile table(QStringLiteral("/proc/net/tcp"));
        if (!table.open(QIODevice::ReadOnly))
            return false;
        for (const QByteArray &line : table.readAll().split('\n')) {
            const QList<QByteArray> cells = line.simplified().split(' ');
            if (cells.size() > 3 && cells[1] == local && cells[3] == "0A")
                return true;
        }
        return false;
    }

    QTemporaryDir dir_;
    QProcess process_;
    QList<Port> ports_;
    QString error_;
};
