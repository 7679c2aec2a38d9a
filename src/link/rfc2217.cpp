#include "link/rfc2217.h"

#include <algorithm>
#include <utility>

namespace qm {

namespace {
constexpr quint8 kIac = 255;
constexpr quint8 kDont = 254;
constexpr quint8 kDo = 253;
constexpr quint8 kWont = 252;
constexpr quint8 kWill = 251;
constexpr quint8 kSb = 250;
constexpr quint8 kSe = 240;

constexpr quint8 kBinary = 0;
constexpr quint8 kSuppressGoAhead = 3;
constexpr quint8 kComPort = 44;

// Com-port-option commands, client to server; the server answers each with
// the same code plus 100 and the value now in force.
constexpr quint8 kSetBaudRate = 1;
constexpr quint8 kSetDataSize = 2;
constexpr quint8 kSetParity = 3;
constexpr quint8 kSetStopSize = 4;
constexpr quint8 kSetControl = 5;
constexpr quint8 kServerOffset = 100;

constexpr quint8 kControlNoFlow = 1;
constexpr quint8 kControlDtrOff = 9;
constexpr quint8 kControlRtsOff = 12;

// A subnegotiation this tool reads is at most six bytes; anything much
// longer is not one of them and is skipped unread.
constexpr qsizetype kLongestSub = 64;
// Line settings still unanswered; a server that never answers must not
// make the list grow without end.
constexpr std::size_t kMostUnanswered = 32;

bool Wanted(quint8 option)
{
    return option == kBinary || option == kSuppressGoAhead;
}

quint8 ParityCode(QSerialPort::Parity parity)
{
    switch (parity) {
    case QSerialPort::OddParity: return 2;
    case QSerialPort::EvenParity: return 3;
    default: return 1;
    }
}

QString ParityOfCode(quint32 code)
{
    switch (code) {
    case 1: return QStringLiteral("N");
    case 2: return QStringLiteral("O");
    case 3: return QStringLiteral("E");
    case 4: return QStringLiteral("M");
    case 5: return QStringLiteral("S");
    default: return QString::number(code);
    }
}

QByteArray Sub(quint8 command, QByteArrayView value)
{
    QByteArray out;
    out.append(char(kIac)).append(char(kSb)).append(char(kComPort)).append(char(command));
    out.append(Rfc2217Session::Escape(value));
    out.append(char(kIac)).append(char(kSe));
    return out;
}

QByteArray Verb(quint8 verb, quint8 option)
{
    const char bytes[] = {char(kIac), char(verb), char(option)};
    return QByteArray(bytes, 3);
}
} // namespace

Rfc2217Session::Rfc2217Session(const QString &where)
    : where_(where)
{
}

QByteArray Rfc2217Session::opening()
{
    QByteArray out;
    for (const quint8 option : {kComPort, kBinary, kSuppressGoAhead}) {
        if (ours_[option] == Option::No) {
            ours_[option] = Option::Asked;
            out += Verb(kWill, option);
        }
    }
    for (const quint8 option : {kBinary, kSuppressGoAhead}) {
        if (theirs_[option] == Option::No) {
            theirs_[option] = Option::Asked;
            out += Verb(kDo, option);
        }
    }
    return out;
}

QByteArray Rfc2217Session::take(QByteArrayView bytes)
{
    QByteArray data;
    data.reserve(bytes.size());
    for (const char c : bytes) {
        const quint8 b = quint8(c);
        switch (parse_) {
        case Parse::Data:
            if (b == kIac)
                parse_ = Parse::Command;
            else
                data.append(c);
            break;
        case Parse::Command:
            parse_ = Parse::Data;
            switch (b) {
            case kIac: data.append(c); break;
            case kWill: parse_ = Parse::Will; break;
            case kWont: parse_ = Parse::Wont; break;
            case kDo: parse_ = Parse::Do; break;
            case kDont: parse_ = Parse::Dont; break;
            case kSb:
                parse_ = Parse::Sub;
                sub_.clear();
                subTooLong_ = false;
                break;
            default: break; // NOP, go-ahead, data mark and the like carry nothing here
            }
            break;
        case Parse::Will: onWill(b); parse_ = Parse::Data; break;
        case Parse::Wont: onWont(b); parse_ = Parse::Data; break;
        case Parse::Do: onDo(b); parse_ = Parse::Data; break;
        case Parse::Dont: onDont(b); parse_ = Parse::Data; break;
        case Parse::Sub:
            if (b == kIac) {
                parse_ = Parse::SubCommand;
            } else if (sub_.size() < kLongestSub) {
                sub_.append(c);
            } else {
                subTooLong_ = true;
            }
            break;
        case Parse::SubCommand:
            if (b == kIac) {
                parse_ = Parse::Sub;
                if (sub_.size() < kLongestSub)
                    sub_.append(c);
                else
                    subTooLong_ = true;
                break;
            }
            // IAC SE ends it; anything else after IAC is a broken
            // subnegotiation, taken as ended too.
            parse_ = Parse::Data;
            if (b == kSe && !subTooLong_)
                onSubnegotiation();
            break;
        }
    }
    return data;
}

QByteArray Rfc2217Session::takeAnswers()
{
    return std::exchange(answers_, {});
}

QStringList Rfc2217Session::takeNotes()
{
    return std::exchange(notes_, {});
}

void Rfc2217Session::answer(quint8 verb, quint8 option)
{
    answers_ += Verb(verb, option);
}

void Rfc2217Session::onWill(quint8 option)
{
    Option &state = theirs_[option];
    if (state == Option::Yes)
        return;
    if (state == Option::Asked) {
        state = Option::Yes;
        return;
    }
    if (Wanted(option)) {
        state = Option::Yes;
        answer(kDo, option);
    } else {
        answer(kDont, option); // the server's echo and the rest: not wanted
    }
}

void Rfc2217Session::onWont(quint8 option)
{
    Option &state = theirs_[option];
    if (state == Option::No)
        return;
    if (state == Option::Yes)
        answer(kDont, option);
    state = Option::No;
    refused(option);
}

void Rfc2217Session::onDo(quint8 option)
{
    Option &state = ours_[option];
    if (state != Option::Yes) {
        if (state == Option::No && !Wanted(option) && option != kComPort) {
            answer(kWont, option);
            return;
        }
        if (state == Option::No)
            answer(kWill, option);
        state = Option::Yes;
    }
    if (option == kComPort)
        lineControl_ = LineControl::Agreed;
}

void Rfc2217Session::onDont(quint8 option)
{
    Option &state = ours_[option];
    if (state == Option::No)
        return;
    if (state == Option::Yes)
        answer(kWont, option);
    state = Option::No;
    refused(option);
}

void Rfc2217Session::refused(quint8 option)
{
    // A refused line control is told by the port, once for the server.
    if (option == kComPort) {
        lineControl_ = LineControl::Refused;
        for (auto &asked : asked_)
            asked.clear();
    } else if (option == kBinary && !binaryNoted_) {
        binaryNoted_ = true;
        notes_ << QStringLiteral("网络串口 %1 不接受二进制传输：帧中的个别字节可能被改动").arg(where_);
    }
}

void Rfc2217Session::onSubnegotiation()
{
    if (sub_.size() < 3 || quint8(sub_[0]) != kComPort)
        return;
    const quint8 command = quint8(sub_[1]);
    const QByteArray value = sub_.mid(2);
    switch (command) {
    case kServerOffset + kSetBaudRate:
        if (value.size() == 4)
            checkAnswer(Rate, quint32(quint8(value[0])) << 24 | quint32(quint8(value[1])) << 16
                                  | quint32(quint8(value[2])) << 8 | quint32(quint8(value[3])));
        break;
    case kServerOffset + kSetDataSize: checkAnswer(DataBits, quint8(value[0])); break;
    case kServerOffset + kSetParity: checkAnswer(Parity, quint8(value[0])); break;
    case kServerOffset + kSetStopSize: checkAnswer(StopBits, quint8(value[0])); break;
    default: break; // control answers, line and modem state notices
    }
}

void Rfc2217Session::checkAnswer(Item item, quint32 value)
{
    std::deque<quint32> &asked = asked_[item];
    if (asked.empty())
        return; // not asked for: a server that tells of its own accord
    // A server may answer settings sent close together with the value in
    // force when it answers: an answer that matches a later setting
    // answers the ones before it too.
    const auto match = std::find(asked.begin(), asked.end(), value);
    if (match != asked.end()) {
        asked.erase(asked.begin(), match + 1);
        return;
    }
    const quint32 wanted = asked.front();
    asked.pop_front();
    if (mismatchNoted_.contains(item))
        return;
    // Once a kind: a server stuck at its own rate would otherwise say so at
    // every trial of a detection.
    mismatchNoted_.insert(item);
    QString what, got;
    switch (item) {
    case Rate:
        what = QStringLiteral("速率 %1").arg(wanted);
        got = QString::number(value);
        break;
    case DataBits:
        what = QStringLiteral("数据位 %1").arg(wanted);
        got = QString::number(value);
        break;
    case Parity:
        what = QStringLiteral("校验 %1").arg(ParityOfCode(wanted));
        got = ParityOfCode(value);
        break;
    case StopBits:
        what = QStringLiteral("停止位 %1").arg(wanted);
        got = QString::number(value);
        break;
    case kItems: return;
    }
    notes_ << QStringLiteral("网络串口 %1 未接受%2：设备服务器回答 %3").arg(where_, what, got);
}

QByteArray Rfc2217Session::lineRequest(const PortLine &line)
{
    if (lineControl_ != LineControl::Agreed)
        return {};
    const quint32 rate = quint32(line.rate);
    const char rateBytes[] = {char(rate >> 24), char(rate >> 16), char(rate >> 8), char(rate)};
    const char dataBits = 8, stopBits = 1, parity = char(ParityCode(line.parity));
    const std::array<quint32, kItems> values{rate, quint32(dataBits), quint32(quint8(parity)), quint32(stopBits)};
    for (int item = 0; item < kItems; ++item) {
        std::deque<quint32> &asked = asked_[item];
        asked.push_back(values[item]);
        if (asked.size() > kMostUnanswered)
            asked.pop_front();
    }
    return Sub(kSetBaudRate, QByteArrayView(rateBytes, 4)) + Sub(kSetDataSize, QByteArrayView(&dataBits, 1))
        + Sub(kSetParity, QByteArrayView(&parity, 1)) + Sub(kSetStopSize, QByteArrayView(&stopBits, 1));
}

QByteArray Rfc2217Session::controlRequest() const
{
    if (lineControl_ != LineControl::Agreed)
        return {};
    QByteArray out;
    for (const char control : {char(kControlNoFlow), char(kControlDtrOff), char(kControlRtsOff)})
        out += Sub(kSetControl, QByteArrayView(&control, 1));
    return out;
}

bool Rfc2217Session::lineAnswered() const
{
    for (const auto &asked : asked_)
        if (!asked.empty())
            return false;
    return true;
}

QByteArray Rfc2217Session::Escape(QByteArrayView data)
{
    QByteArray out;
    out.reserve(data.size() + data.count(char(kIac)));
    for (const char c : data) {
        out.append(c);
        if (quint8(c) == kIac)
            out.append(c);
    }
    return out;
}

} // namespace qm
