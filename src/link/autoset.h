#pragma once
// The search for the attached unit's rate and parity: the seven rates without
// parity, then with even, then with odd parity, one trial per tick, each with
// the data radio's identification request. The first good reply ends the
// search with the settings of the last trial in force. No window here: the
// detection window shows the trial and drives the ticks.

#include <QList>
#include <QString>
#include <QtGlobal>

namespace qm {

class Link;
class Report;

class AutoSetSearch {
public:
    // Trials 0..20: RateIndex = n mod 7, ParityIndex = n div 7.
    static constexpr qint32 kLastAttempt = 20;
    static constexpr int kTickMs = 1500;

    enum class Outcome {
        Trying, // the next trial is out
        Found,  // a good reply came in; the last trial's settings stay
        Failed, // no trial was answered; reported, 19200/odd stay
    };

    AutoSetSearch(Link &link, Report &report);

    // Trial 0: 300 bit/s without parity, and the first request.
    void start();
    // One tick of the search.
    Outcome tick();
    // The failure in the monitor memo and status panel 2.
    void reportFailure();

    qint32 AutoSetAttempt = 0;

    // ",N,8,1," / ",E,8,1," / ",O,8,1," and "300bps".."19200bps" of a trial.
    static QString CheckText(qint32 attempt);
    static QString BpsText(qint32 attempt);
    // "正在尝试 9600,O（第 20/21 项）": the trial as the window shows it.
    static QString TrialText(qint32 attempt);

    // The request of every trial: the data radio's identification 0x99
    // unless told otherwise (a unit family that does not answer it is asked
    // for its address instead).
    void setProbe(quint8 command, quint8 selector);
    // Puts the line of trial attempt (0..20) on the port and sends the
    // request, from a fresh recogniser.
    void tryLine(qint32 attempt);

    // The 21 trials in the window's order, trial first moved to the front:
    // a searcher that knows the unit's usual line tries it before the rest.
    static QList<qint32> TrialOrder(qint32 first);
    // Microseconds one byte takes at the line of trial attempt: start bit,
    // eight data bits, a parity bit when there is one, stop bit.
    static qint64 ByteTimeUs(qint32 attempt);

private:
    Link &link_;
    Report &report_;
    quint8 probeCommand_ = 0x99;
    quint8 probeSelector_;
};

namespace text {
inline const QString AutoSetStarting = QStringLiteral("设置串口...");
inline const QString AutoSetWait = QStringLiteral("正在设置串口，请稍候...");
inline const QString AutoSetFailed = QStringLiteral("设置失败！");
inline const QString AutoSetFailedHint = QStringLiteral("设置串口失败！请检查通讯口或终端设备！");
} // namespace text

} // namespace qm
