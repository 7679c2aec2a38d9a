#pragma once
// The serial port of a device server on the network behind the port seam:
// "rfc2217://HOST:PORT", telnet with line control (the rate and parity
// follow the tool's settings), or "socket://HOST:PORT", raw bytes at the
// line the device server is set to. One QTcpSocket on the tool's own
// thread; nothing polls.
//
// An open waits at most 3 s: for the connection and, with RFC 2217, for the
// server to take up line control and answer the first line settings, so an
// open that succeeds has a port that works behind it (a server whose device
// cannot be opened closes the connection first).

#include "link/porttransport.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QTimer>
#include <memory>
#include <optional>

class QTcpSocket;

namespace qm {

class Rfc2217Session;

struct NetworkAddress {
    bool telnet = false; // rfc2217:// (else socket://)
    QString host;        // without the brackets of an IPv6 address
    quint16 port = 0;
    // "HOST:PORT" as typed ("[::1]:2000" for IPv6).
    QString where;
};

// Whether device names a network port (rfc2217:// or socket://, any case);
// it may still be malformed.
bool IsNetworkPort(const QString &device);
// The parts of "rfc2217://HOST:PORT" or "socket://HOST:PORT"; none for
// anything else (a path after the port, a port outside 1..65535, no host).
std::optional<NetworkAddress> ParseNetworkAddress(const QString &device);

class NetworkPort : public PortTransport {
    Q_OBJECT
public:
    static constexpr int kOpenTimeoutMs = 3000;

    explicit NetworkPort(QObject *parent = nullptr);
    ~NetworkPort() override;

    // Failures read "网络串口 HOST:PORT 无法连接：" and why.
    bool open(const QString &device, const PortLine &line) override;
    void startOpen(const QString &device, const PortLine &line) override;
    void close() override;
    bool isOpen() const override { return phase_ == Phase::Open; }
    bool isOpening() const override { return opening(); }
    QString errorString() const override { return error_; }
    void setLine(const PortLine &line) override;
    bool setsLine() const override;
    qint64 write(const char *bytes, qint64 count) override;
    qint64 read(char *bytes, qint64 max) override;
    qint64 bytesAvailable() const override { return inbound_.size(); }

private:
    enum class Phase {
        Closed,
        Connecting,
        Negotiating, // telnet options and the first line settings
        Pausing,     // turned away by the server; asked again soon
        Open,
    };

    // Starts connecting; false when device is no network address.
    bool begin(const QString &device, const PortLine &line, bool waiting);
    // One attempt of the opening: a new socket and telnet session.
    void connectSocket();
    bool opening() const;
    void onConnected();
    void onSocketReadyRead();
    void onSocketError();
    void onDisconnected();
    // Opening: done once line control is settled and the line answered.
    void settle();
    void becomeOpen();
    // The 3 s are up: a failure, unless only the line's answers are missing.
    void timedOut();
    void fail(const QString &why);
    // The open connection went away: closed after the signal, then lost().
    void drop(const QString &why);
    void discardSocket();
    // The memo line that the line cannot be set here (text's %1: the
    // server), once for a server.
    void tellLineOnce(const QString &text);
    QString socketErrorText() const;

    QTcpSocket *socket_ = nullptr;
    std::unique_ptr<Rfc2217Session> telnet_; // none for socket://
    NetworkAddress address_;
    PortLine line_;
    Phase phase_ = Phase::Closed;
    bool waiting_ = false;   // an open() is waiting, not startOpen()
    bool lineSent_ = false;  // the line went out during this opening
    bool dropping_ = false;
    QTimer openTimer_;       // the limit of startOpen()
    QTimer retryTimer_;      // the pause of startOpen() after a refusal
    QDeadlineTimer deadline_; // the end of the 3 s of this opening
    QString refusal_;        // why the server turned the last attempt away
    QByteArray inbound_;     // data received, not yet read
    QByteArray serverText_;  // what the server said before it closed an opening
    QString error_;
    QString lineTold_;       // the server last told of as keeping its own line
};

} // namespace qm
