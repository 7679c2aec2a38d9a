#include "link/networkport.h"

#include "link/rfc2217.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QThread>
#include <cstring>

namespace qm {

namespace {
// What a server said before it closed an opening is shown when it reads
// as a line of text ("Port already in use").
constexpr qsizetype kLongestServerText = 120;
// A server that turns a connection away while it opens (it is still
// closing an earlier one, of this tool or of another client) is asked
// again after this pause, as long as the 3 s allow.
constexpr int kRetryPauseMs = 100;

QString ServerLine(const QByteArray &text)
{
    const QByteArray line = text.trimmed();
    if (line.isEmpty() || line.size() > kLongestServerText)
        return {};
    for (const char c : line)
        if (c < 0x20 || c > 0x7E)
            return {};
    return QString::fromLatin1(line);
}
} // namespace

bool IsNetworkPort(const QString &device)
{
    const QString d = device.trimmed();
    return d.startsWith(QLatin1String("rfc2217://"), Qt::CaseInsensitive)
        || d.startsWith(QLatin1String("socket://"), Qt::CaseInsensitive);
}

std::optional<NetworkAddress> ParseNetworkAddress(const QString &device)
{
    static const QRegularExpression pattern(QStringLiteral(R"(^(rfc2217|socket)://(\[([0-9A-Fa-f:.]+)\]|([^\s:/?#\[\]@]+)):(\d{1,5})/?$)"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(device.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    const uint port = match.captured(5).toUInt();
    if (port == 0 || port > 65535)
        return std::nullopt;
    NetworkAddress address;
    address.telnet = match.captured(1).compare(QLatin1String("rfc2217"), Qt::CaseInsensitive) == 0;
    address.host = match.captured(3).isEmpty() ? match.captured(4) : match.captured(3);
    address.port = quint16(port);
    address.where = match.captured(2) + QLatin1Char(':') + QString::number(port);
    return address;
}

NetworkPort::NetworkPort(QObject *parent)
    : PortTransport(parent)
{
    openTimer_.setSingleShot(true);
    connect(&openTimer_, &QTimer::timeout, this, [this] {
        if (opening())
            timedOut();
    });
    retryTimer_.setSingleShot(true);
    connect(&retryTimer_, &QTimer::timeout, this, [this] {
        if (phase_ == Phase::Pausing)
            connectSocket();
    });
}

NetworkPort::~NetworkPort()
{
    // Deleted here, before this object is half gone: a socket that closes
    // in its destructor would signal into it.
    if (socket_) {
        socket_->disconnect(this);
        delete socket_;
    }
}

bool NetworkPort::begin(const QString &device, const PortLine &line, bool waiting)
{
    close();
    const std::optional<NetworkAddress> address = ParseNetworkAddress(device);
    if (!address) {
        error_ = QStringLiteral("网络串口地址无效：%1（应为 rfc2217://主机:端口 或 socket://主机:端口）").arg(device);
        return false;
    }
    address_ = *address;
    line_ = line;
    waiting_ = waiting;
    error_.clear();
    deadline_ = QDeadlineTimer(kOpenTimeoutMs);
    connectSocket();
    return true;
}

bool NetworkPort::opening() const
{
    return phase_ == Phase::Connecting || phase_ == Phase::Negotiating || phase_ == Phase::Pausing;
}

void NetworkPort::connectSocket()
{
    lineSent_ = false;
    dropping_ = false;
    inbound_.clear();
    serverText_.clear();
    telnet_ = address_.telnet ? std::make_unique<Rfc2217Session>(address_.where) : nullptr;
    socket_ = new QTcpSocket(this);
    connect(socket_, &QTcpSocket::connected, this, &NetworkPort::onConnected);
    connect(socket_, &QTcpSocket::readyRead, this, &NetworkPort::onSocketReadyRead);
    connect(socket_, &QTcpSocket::errorOccurred, this, &NetworkPort::onSocketError);
    connect(socket_, &QTcpSocket::disconnected, this, &NetworkPort::onDisconnected);
    phase_ = Phase::Connecting;
    socket_->connectToHost(address_.host, address_.port);
}

bool NetworkPort::open(const QString &device, const PortLine &line)
{
    if (phase_ == Phase::Open)
        return true;
    if (!begin(device, line, true))
        return false;
    // The socket's own waits run its signals, so the opening goes through
    // the same steps as without waiting.
    while (opening()) {
        const qint64 left = deadline_.remainingTime();
        if (phase_ == Phase::Pausing) {
            if (left <= kRetryPauseMs) {
                fail(refusal_);
                break;
            }
            QThread::msleep(kRetryPauseMs);
            connectSocket();
            continue;
        }
        QTcpSocket *socket = socket_;
        const bool moved = left > 0
            && (phase_ == Phase::Connecting ? socket->waitForConnected(int(left)) : socket->waitForReadyRead(int(left)));
        if (moved || (phase_ != Phase::Connecting && phase_ != Phase::Negotiating))
            continue;
        if (deadline_.hasExpired() || socket->error() == QAbstractSocket::SocketTimeoutError)
            timedOut();
        else
            fail(socketErrorText());
    }
    waiting_ = false;
    return phase_ == Phase::Open;
}

void NetworkPort::startOpen(const QString &device, const PortLine &line)
{
    if (phase_ == Phase::Open) {
        emit opened();
        return;
    }
    if (!begin(device, line, false)) {
        emit openFailed();
        return;
    }
    openTimer_.start(kOpenTimeoutMs);
}

void NetworkPort::close()
{
    openTimer_.stop();
    retryTimer_.stop();
    phase_ = Phase::Closed;
    inbound_.clear();
    if (!socket_)
        return;
    // What was written goes out before the connection ends.
    socket_->disconnect(this);
    socket_->flush();
    socket_->disconnectFromHost();
    socket_->deleteLater();
    socket_ = nullptr;
}

void NetworkPort::discardSocket()
{
    if (!socket_)
        return;
    socket_->disconnect(this);
    socket_->abort();
    socket_->deleteLater();
    socket_ = nullptr;
}

void NetworkPort::onConnected()
{
    // Frames are small and each waits for its answer: no coalescing.
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket_->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    if (telnet_) {
        phase_ = Phase::Negotiating;
        socket_->write(telnet_->opening());
        settle();
        return;
    }
    tellLineOnce(QStringLiteral("网络串口 %1 只转发原始数据（socket://）：速率和校验不能由本程序设置，以设备服务器的设置为准"));
    becomeOpen();
}

void NetworkPort::settle()
{
    if (phase_ != Phase::Negotiating || telnet_->lineControl() == Rfc2217Session::LineControl::Asked)
        return;
    if (!lineSent_) {
        lineSent_ = true;
        const QByteArray request = telnet_->lineRequest(line_) + telnet_->controlRequest();
        if (!request.isEmpty())
            socket_->write(request);
    }
    if (telnet_->lineControl() == Rfc2217Session::LineControl::Agreed && !telnet_->lineAnswered())
        return;
    becomeOpen();
}

void NetworkPort::becomeOpen()
{
    phase_ = Phase::Open;
    openTimer_.stop();
    if (!waiting_)
        emit opened();
    if (!inbound_.isEmpty())
        emit readyRead();
}

void NetworkPort::timedOut()
{
    if (phase_ == Phase::Pausing) {
        fail(refusal_);
        return;
    }
    if (phase_ == Phase::Negotiating && telnet_->lineControl() == Rfc2217Session::LineControl::Agreed) {
        // The port works, only its settings were not confirmed.
        emit notice(QStringLiteral("网络串口 %1 没有回答线路设置：速率和校验未经确认").arg(address_.where));
        becomeOpen();
        return;
    }
    if (phase_ == Phase::Negotiating)
        fail(QStringLiteral("%1 秒内没有 RFC 2217 应答（只转发原始数据的端口请用 socket://）").arg(kOpenTimeoutMs / 1000));
    else
        fail(QStringLiteral("%1 秒内无应答").arg(kOpenTimeoutMs / 1000));
}

void NetworkPort::onSocketReadyRead()
{
    QByteArray bytes = socket_->readAll();
    if (telnet_) {
        bytes = telnet_->take(bytes);
        const QByteArray answers = telnet_->takeAnswers();
        if (!answers.isEmpty())
            socket_->write(answers);
        for (const QString &note : telnet_->takeNotes())
            emit notice(note);
        if (telnet_->lineControl() == Rfc2217Session::LineControl::Refused)
            tellLineOnce(QStringLiteral("网络串口 %1 不接受 RFC 2217 的串口设置：速率和校验由设备服务器自己的设置决定"));
    }
    if (phase_ != Phase::Open)
        serverText_ += bytes.left(std::max<qsizetype>(0, kLongestServerText + 2 - serverText_.size()));
    inbound_ += bytes;
    if (phase_ == Phase::Negotiating)
        settle();
    else if (phase_ == Phase::Open && !bytes.isEmpty())
        emit readyRead();
}

void NetworkPort::onSocketError()
{
    // The end of a wait of open(): its own limit tells what was missing.
    if (!socket_ || socket_->error() == QAbstractSocket::SocketTimeoutError)
        return;
    if (socket_->error() == QAbstractSocket::RemoteHostClosedError) {
        onDisconnected();
        return;
    }
    if (phase_ == Phase::Connecting || phase_ == Phase::Negotiating)
        fail(socketErrorText());
    else if (phase_ == Phase::Open)
        drop(socketErrorText());
}

void NetworkPort::onDisconnected()
{
    QString closed = QStringLiteral("设备服务器关闭了连接");
    if (phase_ == Phase::Connecting || phase_ == Phase::Negotiating) {
        if (const QString said = ServerLine(serverText_); !said.isEmpty())
            closed += QStringLiteral("（%1）").arg(said);
        if (deadline_.remainingTime() <= kRetryPauseMs) {
            fail(closed);
            return;
        }
        refusal_ = closed;
        discardSocket();
        phase_ = Phase::Pausing;
        if (!waiting_)
            retryTimer_.start(kRetryPauseMs);
    } else if (phase_ == Phase::Open) {
        drop(closed);
    }
}

void NetworkPort::fail(const QString &why)
{
    error_ = QStringLiteral("网络串口 %1 无法连接：%2").arg(address_.where, why);
    phase_ = Phase::Closed;
    openTimer_.stop();
    retryTimer_.stop();
    inbound_.clear();
    discardSocket();
    if (!waiting_)
        emit openFailed();
}

void NetworkPort::drop(const QString &why)
{
    if (dropping_)
        return;
    dropping_ = true;
    const QString reason = QStringLiteral("网络串口 %1：%2").arg(address_.where, why);
    // Closed after the socket's signal has returned, as a local port is.
    QTimer::singleShot(0, this, [this, socket = socket_, reason] {
        if (socket_ != socket)
            return; // closed or opened anew meanwhile
        discardSocket();
        phase_ = Phase::Closed;
        inbound_.clear();
        emit lost(reason);
    });
}

void NetworkPort::tellLineOnce(const QString &text)
{
    // Once for a server, not at every reopen of the settings dialog.
    if (lineTold_ == address_.where)
        return;
    lineTold_ = address_.where;
    emit notice(text.arg(address_.where));
}

QString NetworkPort::socketErrorText() const
{
    switch (socket_ ? socket_->error() : QAbstractSocket::UnknownSocketError) {
    case QAbstractSocket::HostNotFoundError: return QStringLiteral("找不到主机 %1").arg(address_.host);
    case QAbstractSocket::ConnectionRefusedError: return QStringLiteral("连接被拒绝（该端口上没有设备服务器在等待连接）");
    case QAbstractSocket::SocketTimeoutError: return QStringLiteral("%1 秒内无应答").arg(kOpenTimeoutMs / 1000);
    case QAbstractSocket::RemoteHostClosedError: return QStringLiteral("设备服务器关闭了连接");
    case QAbstractSocket::NetworkError: return QStringLiteral("网络不通（%1）").arg(socket_->errorString());
    default: return socket_ ? socket_->errorString() : QStringLiteral("连接已断开");
    }
}

void NetworkPort::setLine(const PortLine &line)
{
    line_ = line;
    if (!telnet_ || !socket_ || !(phase_ == Phase::Open || (phase_ == Phase::Negotiating && lineSent_)))
        return;
    const QByteArray request = telnet_->lineRequest(line);
    if (!request.isEmpty())
        socket_->write(request);
}

bool NetworkPort::setsLine() const
{
    return address_.telnet && (!telnet_ || telnet_->lineControl() != Rfc2217Session::LineControl::Refused);
}

qint64 NetworkPort::write(const char *bytes, qint64 count)
{
    if (phase_ != Phase::Open || !socket_) {
        error_ = QStringLiteral("网络串口 %1 未连接").arg(address_.where);
        return -1;
    }
    const QByteArrayView data(bytes, count);
    if (socket_->write(telnet_ ? Rfc2217Session::Escape(data) : data.toByteArray()) < 0) {
        error_ = socket_->errorString();
        return -1;
    }
    return count;
}

qint64 NetworkPort::read(char *bytes, qint64 max)
{
    const qint64 n = std::min<qint64>(max, inbound_.size());
    if (n <= 0)
        return 0;
    std::memcpy(bytes, inbound_.constData(), size_t(n));
    inbound_.remove(0, n);
    return n;
}

} // namespace qm
