#include "simlink.h"

#include "link/frame.h"
#include "link/protocolstate.h"
#include "link/receiver.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qmsim {

namespace {
// Bytes stored before the recogniser catches up; well under the 1000-byte
// ring so a frame (at most 257 bytes) is never overwritten while parsed.
constexpr qsizetype kChunk = 500;

struct RateSpeed {
    qint32 Rate;
    speed_t Speed;
};
constexpr RateSpeed kSpeeds[] = {{300, B300},   {600, B600},   {1200, B1200},  {2400, B2400},
                                 {4800, B4800}, {9600, B9600}, {19200, B19200}};

speed_t speedOfRate(qint32 rate)
{
    for (const auto &rs : kSpeeds)
        if (rs.Rate == rate)
            return rs.Speed;
    return B0;
}

qint64 nowUs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

QByteArray errnoText(const char *what)
{
    return QByteArray(what) + ": " + std::strerror(errno);
}
} // namespace

FrameReader::FrameReader() : state_(std::make_unique<qm::ProtocolState>()) {}
FrameReader::~FrameReader() = default;

QList<QByteArray> FrameReader::feed(const QByteArray &bytes)
{
    QList<QByteArray> frames;
    qm::ProtocolState &s = *state_;
    for (qsizetype at = 0; at < bytes.size(); at += kChunk) {
        const qsizetype n = std::min(kChunk, bytes.size() - at);
        qm::StoreRxBytes(s, reinterpret_cast<const quint8 *>(bytes.constData() + at), n);
        while (s.RxReadPos != s.RxWritePos) {
            if (!qm::ParseRxByte(s))
                continue;
            frames.append(qm::ReplyBytes(s));
        }
    }
    return frames;
}

bool LineMatches(const termios &t, const SimLine &line, ParityView view)
{
    const speed_t want = speedOfRate(line.Rate);
    if (want == B0 || cfgetospeed(&t) != want)
        return false;
    // An input speed of 0 means "same as output".
    const speed_t in = cfgetispeed(&t);
    if (in != want && in != B0)
        return false;
    const bool parodd = t.c_cflag & PARODD;
    if (view == ParityView::RateOnly)
        return true;
    if (view == ParityView::OddOnly)
        return (line.Par == Parity::Odd) == parodd;
    const bool parenb = t.c_cflag & PARENB;
    switch (line.Par) {
    case Parity::None: return !parenb;
    case Parity::Even: return parenb && !parodd;
    case Parity::Odd: return parenb && parodd;
    }
    return false;
}

ParityView PtyParityView(int fd)
{
    termios saved{};
    if (::tcgetattr(fd, &saved) != 0)
        return ParityView::RateOnly;
    // Set odd parity and look at what stays; the call may report a failure
    // for the bit the pty dropped, so only the read-back counts.
    termios probe = saved;
    probe.c_cflag |= PARENB | PARODD;
    ::tcsetattr(fd, TCSANOW, &probe);
    termios back{};
    const bool read = ::tcgetattr(fd, &back) == 0;
    ::tcsetattr(fd, TCSANOW, &saved);
    if (!read)
        return ParityView::RateOnly;
    if (back.c_cflag & PARENB)
        return ParityView::Full;
    return (back.c_cflag & PARODD) ? ParityView::OddOnly : ParityView::RateOnly;
}

QString TermiosText(const termios &t)
{
    SimLine line{0, Parity::None};
    for (const auto &rs : kSpeeds)
        if (rs.Speed == cfgetospeed(&t))
            line.Rate = rs.Rate;
    if (t.c_cflag & PARENB)
        line.Par = (t.c_cflag & PARODD) ? Parity::Odd : Parity::Even;
    QString text = line.Rate == 0 ? QStringLiteral("?,") + LineText(line).section(QLatin1Char(','), 1) : LineText(line);
    // A pty keeps the odd bit without the enable bit.
    if (!(t.c_cflag & PARENB) && (t.c_cflag & PARODD))
        text += QStringLiteral(" (odd bit)");
    return text;
}

QByteArray HexText(const QByteArray &bytes)
{
    return bytes.toHex(' ').toUpper();
}

qint64 ByteTimeUs(const SimLine &line)
{
    const int bits = line.Par == Parity::None ? 10 : 11;
    return line.Rate > 0 ? (qint64(bits) * 1000000 + line.Rate - 1) / line.Rate : 0;
}

SimLink::SimLink(UnitModel &model, const SimOptions &options)
    : model_(model), options_(options), active_(model.line()), modelLine_(model.line()), noise_(options.NoiseSeed)
{
}

SimLink::~SimLink()
{
    removeLink();
    if (master_ >= 0)
        ::close(master_);
    if (slave_ >= 0)
        ::close(slave_);
}

bool SimLink::open(QString &error)
{
    if (!options_.LogFile.isEmpty()) {
        log_.setFileName(options_.LogFile);
        if (!log_.open(QIODevice::Append | QIODevice::Text)) {
            error = QStringLiteral("cannot open log %1: %2").arg(options_.LogFile, log_.errorString());
            return false;
        }
    }
    return openLine(error);
}

bool SimLink::openLine(QString &error)
{
    char name[PATH_MAX] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
        error = QString::fromLocal8Bit(errnoText("openpty"));
        return false;
    }
    slaveName_ = name;
    ::fcntl(master_, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);

    // No echo, no translation: whatever the tool sends reaches us byte for
    // byte even before it sets the port up itself.
    termios t{};
    if (::tcgetattr(slave_, &t) == 0) {
        ::cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        ::tcsetattr(slave_, TCSANOW, &t);
    }
    parityView_ = PtyParityView(slave_);
    if (parityView_ == ParityView::OddOnly)
        note(QStringLiteral("this pty keeps only the odd-parity bit: none and even look alike"));
    else if (parityView_ == ParityView::RateOnly)
        note(QStringLiteral("this pty drops the parity bits: only the line rate is checked"));

    const QByteArray path = QFile::encodeName(options_.LinkPath);
    struct stat st{};
    if (::lstat(path.constData(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        error = QStringLiteral("%1 exists and is not a symlink; not replacing it").arg(options_.LinkPath);
        return false;
    }
    // Make the new link beside the old one and rename it over, so a reader
    // never finds the path missing.
    const QByteArray temp = path + ".qmsim-" + QByteArray::number(::getpid());
    ::unlink(temp.constData());
    if (::symlink(name, temp.constData()) != 0 || ::rename(temp.constData(), path.constData()) != 0) {
        error = QStringLiteral("cannot create %1: %2").arg(options_.LinkPath, QString::fromLocal8Bit(std::strerror(errno)));
        ::unlink(temp.constData());
        return false;
    }
    linkMade_ = true;
    return true;
}

void SimLink::removeLink()
{
    if (!linkMade_)
        return;
    linkMade_ = false;
    // Only our own link: another simulator may have taken the path over.
    const QByteArray path = QFile::encodeName(options_.LinkPath);
    char target[PATH_MAX] = {};
    const ssize_t n = ::readlink(path.constData(), target, sizeof target - 1);
    if (n > 0 && QByteArray(target, n) == slaveName_)
        ::unlink(path.constData());
}

int SimLink::run(volatile std::sig_atomic_t &stop, const sigset_t &waitMask)
{
    char buf[256];
    while (!stop) {
        const qint64 now = nowUs();
        sendDue(now);
        const qint64 floodDue = pumpFlood(now / 1000);
        timespec timeout{};
        timespec *wait = nullptr;
        if (!pending_.empty() || floodDue >= 0) {
            // Microseconds to the next byte of an answer or of the flood.
            qint64 us = floodDue >= 0 ? floodDue * 1000 : std::numeric_limits<qint64>::max();
            if (!pending_.empty()) {
                const Pending &next = pending_.front();
                us = std::min(us, std::max<qint64>(0, next.dueUs(next.Sent) - now));
            }
            timeout.tv_sec = us / 1000000;
            timeout.tv_nsec = (us % 1000000) * 1000;
            wait = &timeout;
        }
        pollfd pfd{master_, POLLIN, 0};
        const int r = ::ppoll(&pfd, 1, wait, &waitMask);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            std::fprintf(stderr, "qmsim: %s\n", errnoText("poll").constData());
            return 1;
        }
        if (r == 0 || !(pfd.revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR)
                continue;
            // We hold the slave open, so EIO here means the pty itself broke.
            std::fprintf(stderr, "qmsim: %s\n", errnoText("read").constData());
            return 1;
        }
        if (n == 0)
            continue;
        for (const QByteArray &frame : reader_.feed(QByteArray(buf, n))) {
            handleFrame(frame);
            if (hangupDue_)
                break; // the rest went down with the line
        }
        if (hangupDue_) {
            QString error;
            if (!hangUp(stop, waitMask, error)) {
                std::fprintf(stderr, "qmsim: %s\n", qPrintable(error));
                return 1;
            }
        }
    }
    return 0;
}

bool SimLink::hangUp(volatile std::sig_atomic_t &stop, const sigset_t &waitMask, QString &error)
{
    hangupDue_ = false;
    hungUp_ = true;
    pending_.clear();
    // The device goes away as an unplugged adapter's does: its path first,
    // then the line, so the tool sees the hang-up on a path that is gone.
    removeLink();
    ::close(master_);
    ::close(slave_);
    master_ = slave_ = -1;
    note(QStringLiteral("hung up; back in %1 ms").arg(options_.HangupPauseMs));
    const qint64 until = nowUs() + qint64(options_.HangupPauseMs) * 1000;
    for (qint64 now = nowUs(); !stop && now < until; now = nowUs()) {
        const qint64 us = until - now;
        const timespec pause{time_t(us / 1000000), long((us % 1000000) * 1000)};
        ::ppoll(nullptr, 0, &pause, &waitMask);
    }
    if (stop)
        return true;
    if (!openLine(error))
        return false;
    note(QStringLiteral("back on %1").arg(options_.LinkPath));
    if (log_.isOpen()) {
        log_.write("-- back\n");
        log_.flush();
    }
    return true;
}

void SimLink::handleFrame(const QByteArray &frame)
{
    logFrame("rx", frame);

    // The tool's port settings are those of the tty at the moment the frame
    // is complete; at any other rate or parity the radio would hear noise.
    termios t{};
    if (::tcgetattr(slave_, &t) != 0 || !LineMatches(t, active_, parityView_)) {
        unanswered(QStringLiteral("line is %1, unit listens at %2: ignored").arg(TermiosText(t), LineText(active_)));
        return;
    }
    const quint8 command = frame.size() >= 4 ? quint8(frame[3]) : 0;
    if (frame.size() >= 4 && options_.HangupOn == command && !hungUp_) {
        hangupDue_ = true;
        unanswered(QStringLiteral("hang-up on %1").arg(command, 2, 16, QLatin1Char('0')));
        return;
    }
    if (frame.size() < 4) {
        unanswered(QStringLiteral("frame without a command: ignored"));
        return;
    }
    if (options_.SilentOn.contains(command)) {
        unanswered(QStringLiteral("silent on %1").arg(command, 2, 16, QLatin1Char('0')));
        return;
    }
    // A unit that acknowledges a write and forgets it answers from a copy.
    std::optional<QByteArray> reply = options_.IgnoreWriteOn.contains(command) ? model_.clone()->answer(frame) : model_.answer(frame);
    if (!reply) {
        unanswered(QStringLiteral("no answer to %1").arg(command, 2, 16, QLatin1Char('0')));
        return;
    }
    // A unit that acknowledges everything without data: header, LEN 5,
    // selector, command, the two address bytes, check.
    if (options_.BareReplies && reply->size() >= 6)
        reply = qm::BuildFrame(quint8((*reply)[3]), reply->mid(4, 2), quint8((*reply)[2]));
    if (options_.BadCheckOn.contains(command) && !reply->isEmpty())
        (*reply)[reply->size() - 1] = char(quint8(reply->back()) ^ 0xFF);

    if (options_.FloodBytes > 0 && !flood_.Started) {
        startFlood(*reply, nowUs() / 1000 + options_.DelayMs);
        return;
    }
    Pending p;
    p.Bytes = *reply;
    if (options_.NoiseAfter)
        p.Bytes.append(char(*options_.NoiseAfter));
    if (options_.NoisePercent > 0)
        p.Noisy = withNoise(p.Bytes);
    const qint64 now = nowUs();
    const qint64 delayUs = qint64(options_.DelayMs) * 1000;
    if (options_.Pace) {
        // The tool wrote the request at once, so it started on the line when
        // it was read; the unit hears it whole a line time later. Its answer
        // follows the delay, and any answer still going out.
        p.ByteUs = ByteTimeUs(active_);
        toUnitFreeUs_ = std::max(now, toUnitFreeUs_) + frame.size() * p.ByteUs;
        p.StartUs = std::max(toUnitFreeUs_ + delayUs, toToolFreeUs_);
        toToolFreeUs_ = p.StartUs + p.out().size() * p.ByteUs;
    } else {
        p.StartUs = now + delayUs;
    }
    if (model_.line() != modelLine_) {
        modelLine_ = model_.line();
        p.LineAfter = modelLine_;
    }
    pending_.push_back(std::move(p));
}

void SimLink::sendDue(qint64 now)
{
    while (!pending_.empty()) {
        Pending &front = pending_.front();
        const QByteArray &out = front.out();
        qsizetype due = front.Sent;
        while (due < out.size() && front.dueUs(due) <= now)
            ++due;
        const char *data = out.constData() + front.Sent;
        qsizetype left = due - front.Sent;
        front.Sent = due;
        if (left == 0 && due < out.size())
            return;
        while (left > 0) {
            const ssize_t n = ::write(master_, data, size_t(left));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                // Nobody reads the tty and its buffer is full: the rest is lost,
                // as on a real line with no one listening.
                note(QStringLiteral("line full, %1 bytes dropped").arg(left + out.size() - front.Sent));
                front.Sent = out.size();
                break;
            }
            data += n;
            left -= n;
        }
        if (front.Sent < out.size())
            return;
        Pending p = std::move(front);
        pending_.pop_front();
        logFrame("tx", p.Bytes);
        if (!p.Noisy.isEmpty() && p.Noisy != p.Bytes && log_.isOpen()) {
            log_.write("-- noise: sent " + HexText(p.Noisy) + '\n');
            log_.flush();
        }
        if (p.LineAfter) {
            active_ = *p.LineAfter;
            note(QStringLiteral("now listening at %1").arg(LineText(active_)));
        }
    }
}

QByteArray SimLink::withNoise(const QByteArray &answer)
{
    if (int(noise_.bounded(100)) >= options_.NoisePercent)
        return answer;
    QByteArray noisy = answer;
    for (int n = 1 + int(noise_.bounded(3)); n > 0; --n)
        noisy.insert(qsizetype(noise_.bounded(quint32(noisy.size() + 1))), char(noise_.bounded(256)));
    return noisy;
}

void SimLink::startFlood(const QByteArray &answer, qint64 startMs)
{
    flood_.Started = true;
    flood_.Unit = answer;
    flood_.StartMs = startMs;
    note(QStringLiteral("flood of %1 bytes").arg(options_.FloodBytes));
}

qint64 SimLink::pumpFlood(qint64 now)
{
    if (!flood_.Started || flood_.Sent >= options_.FloodBytes)
        return -1;
    // Ten bits a byte on the line: a start bit, eight data bits, a stop bit.
    const qint64 rate = options_.FloodRate > 0 ? options_.FloodRate : active_.Rate;
    const qint64 due = now < flood_.StartMs ? 0 : std::min(options_.FloodBytes, (now - flood_.StartMs) * rate / 10000);
    while (flood_.Sent < due) {
        if (flood_.Buffer.isEmpty()) {
            // The answer again, and after about one in four a random byte;
            // the last answer may be cut off by the byte count.
            QByteArray piece = flood_.Unit;
            if (noise_.bounded(4) == 0)
                piece.append(char(noise_.bounded(256)));
            const qint64 room = options_.FloodBytes - flood_.Queued;
            if (flood_.Unit.size() <= room)
                ++flood_.Frames;
            flood_.Buffer = piece.left(qsizetype(std::min<qint64>(room, piece.size())));
            flood_.Queued += flood_.Buffer.size();
        }
        const qsizetype n = qsizetype(std::min<qint64>(flood_.Buffer.size(), due - flood_.Sent));
        const ssize_t written = ::write(master_, flood_.Buffer.constData(), size_t(n));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            break; // the tool has not caught up: the rest waits, nothing is dropped
        flood_.Buffer.remove(0, written);
        flood_.Sent += written;
    }
    if (flood_.Sent >= options_.FloodBytes) {
        const QString done = QStringLiteral("flood done: %1 bytes, %2 whole answers").arg(flood_.Sent).arg(flood_.Frames);
        note(done);
        if (log_.isOpen()) {
            log_.write("-- " + done.toUtf8() + '\n');
            log_.flush();
        }
        return -1;
    }
    // The next byte's time, but no busier than every 2 ms; a full line is
    // looked at again soon.
    const qint64 next = flood_.StartMs + (flood_.Sent + 1) * 10000 / rate - now;
    return std::clamp<qint64>(next, 2, 50);
}

void SimLink::logFrame(const char *direction, const QByteArray &frame)
{
    if (!log_.isOpen())
        return;
    log_.write(QByteArray(direction) + ' ' + HexText(frame) + '\n');
    log_.flush();
}

void SimLink::note(const QString &text)
{
    if (options_.Verbose)
        std::fprintf(stderr, "qmsim: %s\n", qPrintable(text));
}

void SimLink::unanswered(const QString &why)
{
    note(why);
    if (!log_.isOpen())
        return;
    log_.write("-- " + why.toUtf8() + '\n');
    log_.flush();
}

} // namespace qmsim
