#pragma once
// A pseudo terminal for tests that talk to the tool's serial port: the tool
// opens slavePath() (map a COMn name to it), the test reads and writes the
// master side. Both ends are raw, so no byte is translated or echoed. The
// slave end stays open here as well until closeSlave(), so the master never
// sees a hang-up while the tool has the port closed.
//
// Header only, usable from any test target. openpty() is in libc from
// glibc 2.34 on; older systems need "util" linked.

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

class PtyPair {
public:
    PtyPair()
    {
        char name[256] = {};
        if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
            error_ = QString::fromLocal8Bit(std::strerror(errno));
            master_ = slave_ = -1;
            return;
        }
        slavePath_ = QString::fromLocal8Bit(name);
        ::fcntl(master_, F_SETFD, FD_CLOEXEC);
        ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        makeRaw(slave_);
        makeRaw(master_);
    }
    ~PtyPair()
    {
        closeSlave();
        if (master_ >= 0)
            ::close(master_);
    }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isOpen() const { return master_ >= 0; }
    QString errorString() const { return error_; }
    int masterFd() const { return master_; }
    // The device the tool opens, e.g. "/dev/pts/7".
    QString slavePath() const { return slavePath_; }

    // Gives up the test's own hold on the slave end.
    void closeSlave()
    {
        if (slave_ >= 0)
            ::close(slave_);
        slave_ = -1;
    }

    // Writes all bytes to the master; false on an error.
    bool write(const QByteArray &bytes)
    {
        qsizetype done = 0;
        QElapsedTimer clock;
        clock.start();
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0) {
                done += n;
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                error_ = QString::fromLocal8Bit(std::strerror(errno));
                return false;
            } else if (clock.elapsed() > 2000) {
                error_ = QStringLiteral("write timed out");
                return false;
            } else {
                pollFor(POLLOUT, 50);
            }
        }
        return true;
    }

    // Reads until count bytes have come or timeoutMs has passed; returns
    // what came (possibly fewer bytes). Does not run the Qt event loop, so
    // the sender must have written already (QSerialPort writes through its
    // event loop: flush or process events first, or use readWhile()).
    QByteArray read(qsizetype count, int timeoutMs)
    {
        return readWhile(count, timeoutMs, [] {});
    }

    // As read(), calling spin() between waits (e.g. to process Qt events).
    template <typename Spin>
    QByteArray readWhile(qsizetype count, int timeoutMs, Spin spin)
    {
        QByteArray got;
        QElapsedTimer clock;
        clock.start();
        while (got.size() < count) {
            char buffer[256];
            const ssize_t n = ::read(master_, buffer, size_t(std::min<qsizetype>(count - got.size(), qsizetype(sizeof buffer))));
            if (n > 0) {
                got.append(buffer, n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR && errno != EIO)
                break;
            const qint64 left = timeoutMs - clock.elapsed();
            if (left <= 0)
                break;
            spin();
            pollFor(POLLIN, int(std::min<qint64>(left, 10)));
        }
        return got;
    }

    // Throws away whatever is waiting on the master side.
    void drain()
    {
        char buffer[256];
        while (::read(master_, buffer, sizeof buffer) > 0) {
        }
    }

private:
    static void makeRaw(int fd)
    {
        termios t{};
        if (::tcgetattr(fd, &t) != 0)
            return;
        ::cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        ::tcsetattr(fd, TCSANOW, &t);
    }
    void pollFor(short events, int ms)
    {
        pollfd p{master_, events, 0};
        ::poll(&p, 1, ms);
    }

    int master_ = -1;
    int slave_ = -1;
    QString slavePath_;
    QString error_;
};
