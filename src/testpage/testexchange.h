#pragma once
// What the factory test page does on the line: trimming values stepped and
// read back, transmitter commands, the four readings once or in the 300 ms
// automatic cycle, the reference calibrations and the power level. Works on
// the page through FieldAccess and on the shared protocol state of the
// Link, so it runs without a window too.

#include "testpage/readingslog.h"

#include <QString>
#include <QtGlobal>
#include <array>
#include <functional>

namespace qm {

class FieldAccess;
class Link;
class Prompts;
class Report;

namespace text {
inline const QString AutoReadOff = QStringLiteral("自动读取");
inline const QString AutoReadOn = QStringLiteral("关闭自动");
inline const QString ConfirmCaption = QStringLiteral("系统信息");
inline const QString AutoReadStopped = QStringLiteral("通讯口已关闭，自动读取已停止！");
} // namespace text

class TestExchange {
public:
    TestExchange(Link &link, FieldAccess &fields, Report &report, Prompts &prompts);

    // Runs Timer4 (on) or stops it (off).
    std::function<void(bool on)> switchTimer4;
    // What the test run keeps: each reading as it is shown (the power with
    // its standing-wave alarm), each trimming report's bytes at offsets
    // 6..15, each reference calibration sent after its OK.
    std::function<void(Quantity quantity, const QString &shown, bool alarm)> onReading;
    std::function<void(const std::array<quint8, 10> &report)> onTrimmingReport;
    std::function<void(quint8 command)> onCalibrationSent;
    // A trimming row 1..9 stepped and sent; the power level set.
    std::function<void(int row)> onTrimmingSent;
    std::function<void()> onPowerLevelSent;

    // Trimming rows 1..9: step the row's value up or down (wrapping at
    // 0..255) and send it.
    void VRUpClick(int row);
    void VRDownClick(int row);
    void SetVrn_Value(quint8 code, quint8 value);
    // Reads the trimming values (also sent when the page is opened).
    void Read_VRClick();
    void Voice_TxClick();
    void Tx_SignalClick();
    void Tx_MSKClick();
    void Stop_TxClick();
    // Looks at every good frame the moment it is complete; a trimming report
    // fills the nine rows and the power level.
    void Analyse_VR();

    void ReadTempClick();
    void GetRssiClick();
    void ReadPowerClick();
    void ReadVoltClick();
    // The measurement branch of Timer3: shows the consumed answer by its own
    // command byte. Timer3 clears MeasurePending afterwards.
    void MeasurementReply();
    void AutoReadClick();
    void Timer4Timer();
    bool autoReading() const;
    // Position in the automatic cycle; never reset, so a restart goes on
    // where the cycle stopped.
    qint8 AutoReadStep = 0;

    void RssiModiClick();
    void SetPowerClick();
    void AlarmSetClick();
    void PowerMUpClick();
    void PowerMDownClick();
    void SetPwrClick();

    // The port was closed or lost: automatic reading stops (said once in the
    // memo) and a pending reading, which can no longer be answered, ends.
    void PortClosed();

private:
    bool lineBusy();
    quint8 addressLow() const;
    void send(quint8 command, int len);
    void sendShort(quint8 command);
    void sendReading(quint8 command);
    void reading(quint8 command);
    void stepRow(int row, bool up);
    void calibrate(quint8 command, const QString &question);
    void setAutoReading(bool on);

    Link &link_;
    FieldAccess &f_;
    Report &report_;
    Prompts &prompts_;
};

} // namespace qm
