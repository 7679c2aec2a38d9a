#pragma once
// The central-unit (MLB4800) page: ten channels with uplink and downlink
// transmit and receive frequencies, current channel, address, wired or
// wireless link, air rate, the pure-transparent switch, and the buttons.

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace qm {

class FieldRules;

class Mlb4800Page : public QWidget {
    Q_OBJECT
public:
    explicit Mlb4800Page(FieldRules &rules, QWidget *parent = nullptr);

    static constexpr int kChannels = 10;

    // Columns of the channel table: uplink transmit and receive
    // (TxFreq10.., RxFreq10..), downlink transmit and receive (TxFreq20..,
    // RxFreq20..).
    QLineEdit *UpTx[kChannels];
    QLineEdit *UpRx[kChannels];
    QLineEdit *DownTx[kChannels];
    QLineEdit *DownRx[kChannels];
    QLineEdit *Mlb4800_CurrentChannel;
    QLineEdit *Mlb4800_Address;
    QRadioButton *AirTrans, *ComTrans;
    QComboBox *Mlb4800_Airrate;
    QCheckBox *Mlb_TransParent;
    QCheckBox *Mlb4800_Operate;
    QProgressBar *Mlb4800_Rssi;
    QPushButton *Mlb4800_WriteData, *Mlb4800_ReadData;
    QPushButton *Mlb4800_SaveFile, *Mlb4800_ReadFile;
    QPushButton *Mlb4800_AddressTable, *ReadRssi;
};

} // namespace qm
