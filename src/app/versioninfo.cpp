#include "app/versioninfo.h"

#include "pagekit/widgetmaker.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

namespace qm {

namespace {
// A data radio with its antenna, drawn rather than shipped as a file.
QPixmap radioPicture()
{
    QPixmap pixmap(72, 96);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    // Antenna and the waves it sends.
    p.setPen(QPen(QColor(60, 60, 60), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(50, 40), QPointF(50, 10));
    p.setPen(QPen(QColor(0, 110, 180), 2));
    p.setBrush(Qt::NoBrush);
    for (int r = 8; r <= 20; r += 6)
        p.drawArc(QRectF(50 - r, 10 - r, 2 * r, 2 * r), -30 * 16, 60 * 16);
    // Case, display and keys.
    QPainterPath body;
    body.addRoundedRect(QRectF(8, 38, 56, 54), 6, 6);
    p.setPen(QPen(QColor(30, 30, 30), 1.5));
    p.setBrush(QColor(70, 80, 95));
    p.drawPath(body);
    p.setBrush(QColor(150, 220, 150));
    p.drawRect(QRectF(15, 45, 42, 16));
    p.setBrush(QColor(210, 210, 210));
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < 3; ++col)
            p.drawRoundedRect(QRectF(15 + col * 15, 67 + row * 11, 11, 7), 2, 2);
    }
    return pixmap;
}
} // namespace

TVersionInfo::TVersionInfo(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("VersionInfo"));
    setWindowTitle(QStringLiteral("VersionInfo"));
    setFixedSize(394, 162);
    setModal(true);

    Picture = new QLabel(this);
    Picture->setObjectName(QStringLiteral("Picture"));
    Picture->setPixmap(radioPicture());
    Picture->setGeometry(16, 14, 72, 96);

    makeLabel(this, QStringLiteral("软件版本: Version1.54"), {112, 14}, QStringLiteral("VersionLine"));
    makeLabel(this, QStringLiteral("设计时间: 2005年8月15"), {112, 34}, QStringLiteral("DateLine"));
    MakerLine = makeLabel(this, QStringLiteral("qmset"), {112, 54}, QStringLiteral("MakerLine"));
    AuthorLine = makeLabel(this, QStringLiteral("qmset 开发组"), {112, 74}, QStringLiteral("AuthorLine"));
    makeLabel(this, QStringLiteral("技术支持: 请联系您的设备供应商"), {112, 94}, QStringLiteral("ContactLine"));
    // Shown when the box is.
    MakerLine->hide();
    AuthorLine->hide();

    Version_OK = makeButton(this, QStringLiteral("Version_OK"), QStringLiteral("确   定"), {157, 124, 80, 28});
    Version_OK->setDefault(true);
    connect(Version_OK, &QPushButton::clicked, this, &QDialog::accept);
}

void TVersionInfo::showEvent(QShowEvent *event)
{
    MakerLine->show();
    AuthorLine->show();
    QDialog::showEvent(event);
}

} // namespace qm
