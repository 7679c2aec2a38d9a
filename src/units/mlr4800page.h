#pragma once
// The subscriber-unit page: uplink and base-station frequencies, address,
// the unit's serial rate and air rate, the meter fields, a field-strength
// bar and the buttons of the exchanges and the parameter file.

#include <QWidget>

class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace qm {

class FieldRules;

class Mlr4800Page : public QWidget {
    Q_OBJECT
public:
    explicit Mlr4800Page(FieldRules &rules, QWidget *parent = nullptr);

    // Uplink pair (sent and read) and base-station pair (file only).
    QLineEdit *TxFreq30, *RxFreq30, *TxFreq31, *RxFreq31;
    QLineEdit *Mlr4800_Address;
    // The lists take no typing; a loaded text that matches no entry is
    // shown as it is, so they are editable with a read-only text.
    QComboBox *Mlr4800ComRate, *Mlr4800_Airrate;
    QComboBox *Meter_Category;
    // Meter fields shown but used by no operation.
    QLineEdit *Meter_Number, *Edit1;
    QComboBox *Meter_Rate;
    QProgressBar *Mlr4800_Rssi;
    QPushButton *Mlr4800_WriteData, *Mlr4800_ReadData, *Mlr4800_SaveFile, *Mlr4800_ReadFile;
    // Buttons the unit has no command for: they do nothing.
    QPushButton *Mlr4800_ReadRssi, *ReadMeter, *Meter_Rate_Set, *Set_Meter_Num;
};

} // namespace qm
