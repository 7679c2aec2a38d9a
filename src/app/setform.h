#pragma once
// The serial settings dialog: port, rate and parity lists, OK, automatic and
// cancel, and beside the port the device that COM name opens: a list of the
// serial devices present, refreshed while the dialog is open, in which a
// path can also be typed. It only holds the choices; the main window
// applies them.

#include "link/devicewatch.h"
#include "link/linesettings.h"

#include <QDialog>
#include <functional>

class QComboBox;
class QPushButton;

namespace qm {

class PortLister;

class TSet_Form : public QDialog {
    Q_OBJECT
public:
    explicit TSet_Form(const PortLister &lister, QWidget *parent = nullptr);

    // Selects the given settings in the three lists. The lists always hold
    // valid selections, from start-up on. The device shown follows the
    // port chosen.
    void selectCurrent(const LineSettings &line);
    // The port, rate and parity chosen in the lists.
    LineSettings chosen() const;
    QString portText() const;

    // The device each COM name opens now, for the device choice.
    void setDeviceOf(std::function<QString(const QString &)> deviceOf) { deviceOf_ = std::move(deviceOf); }
    // The device path the user chose or typed for the chosen port; empty
    // when the device shown was left as it was.
    QString chosenDevice() const;
    // Lists the devices present again, keeping what the choice shows.
    void refreshDevices();

signals:
    void okPressed();
    void autoPressed();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void showDeviceOfPort();

    QComboBox *Comport;
    QComboBox *Comrate;
    QComboBox *Checkmode;
    QComboBox *Set_Device;
    QPushButton *Set_ComOK;
    QPushButton *Set_ComAuto;
    QPushButton *Set_ComEsc;
    LineSettings shown_;
    const PortLister &lister_;
    DeviceWatch watch_;
    std::function<QString(const QString &)> deviceOf_;
    QString deviceShown_; // what showDeviceOfPort() put in the choice
};

} // namespace qm
