#pragma once
// The data radio's factory test page: nine trimming rows, the transmitter
// commands, the power level, the four readings with automatic reading, and
// the three reference calibrations. The page only holds the controls; what
// they do is TestExchange, wired by the window.

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace qm {

class Lamp;
class SpinButton;

class TestPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRows = 9;

    explicit TestPage(QWidget *parent = nullptr);

    // Trimming rows 1..9 at index 0..8.
    SpinButton *VR[kRows];
    QLineEdit *VR_Text[kRows];
    QLabel *RowCaption[kRows];

    QLabel *Label69;
    QPushButton *Read_VR, *Voice_Tx, *Tx_Signal, *Tx_MSK, *Stop_Tx;
    QLabel *Label89;
    Lamp *Swr_led;
    QLabel *Power_lab, *Label90;
    SpinButton *PowerM;
    QPushButton *SetPwr;
    QLabel *Label81, *RssiValue, *Label82;
    QLabel *Label83, *Volt, *Label85;
    QLabel *Label84, *Temperature, *Label86;
    QLabel *Label87, *Power, *Label88;
    QPushButton *AutoRead, *GetRssi, *ReadVolt, *ReadPower, *ReadTemp;
    QPushButton *RssiModi, *SetPower, *AlarmSet;
    // The trend window beside automatic reading; the calibration record.
    QPushButton *Trend_Open, *Record_Save;

    // Limited access locks six trimming rows and the three calibrations;
    // full access unlocks them. Edits and other controls keep their state.
    void applyAccess(bool limited);

signals:
    // Every time the page is shown.
    void shown();

protected:
    void showEvent(QShowEvent *event) override;
};

} // namespace qm
