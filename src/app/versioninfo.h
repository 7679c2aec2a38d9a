#pragma once
// The version box: a picture, the version and design date, the tool's name
// and its authors, and an OK button. Shown modally from the help menu.

#include <QDialog>

class QLabel;
class QPushButton;

namespace qm {

class TVersionInfo : public QDialog {
    Q_OBJECT
public:
    explicit TVersionInfo(QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *event) override;

private:
    QLabel *Picture;
    QLabel *MakerLine;
    QLabel *AuthorLine;
    QPushButton *Version_OK;
};

} // namespace qm
