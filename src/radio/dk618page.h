#pragma once
// The data-radio page: ten channels with transmit and receive frequency,
// spacing, band, series, current channel, address, the radio's own line
// rate and parity, air rate, transfer, address and relay modes, PTT limit.

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace qm {

class FieldRules;
class Prompts;

class Dk618Page : public QWidget {
    Q_OBJECT
public:
    Dk618Page(Prompts &prompts, FieldRules &rules, QWidget *parent = nullptr);

    static constexpr int kChannels = 10;

    QLineEdit *TxFreq[kChannels];
    QLineEdit *RxFreq[kChannels];
    QRadioButton *Chan_spa1, *Chan_spa2;
    QCheckBox *Fq800;
    QRadioButton *AType, *BType;
    QCheckBox *TransMode;
    QLineEdit *Dk618_CurrentChannel;
    QLineEdit *Dk618_Address;
    QComboBox *Dk618_Baudrate;
    QComboBox *Dk618_Checkmode;
    QLineEdit *Ptttime;
    QRadioButton *AirRate19200, *AirRate9600;
    QCheckBox *Modify_Sync;
    QRadioButton *TransparentMode, *ProtocolMode;
    QRadioButton *Select_ANI_Invalid, *Select_ANI_Valid;
    QPushButton *Dk618_Write_Data, *Dk618_Read_Data, *Dk618_Save_File, *Dk618_Read_File;

    // Address selection needs protocol transfer: runs whenever
    // Select_ANI_Valid becomes checked, by a click or from code.
    void Select_ANI_ValidClick();
    void ATypeClick();
    void BTypeClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Prompts &prompts_;
};

} // namespace qm
