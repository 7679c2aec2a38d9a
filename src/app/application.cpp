#include "app/application.h"

#include "common/errors.h"

#include <QApplication>
#include <QMessageBox>

namespace qm {

void SetUpApplication()
{
    QApplication::setApplicationName(kApplicationTitle);
    QApplication::setApplicationVersion(QStringLiteral("1.54"));
    SetErrorSink([](const QString &message) {
        QMessageBox::critical(QApplication::activeWindow(), kApplicationTitle, message);
    });
}

} // namespace qm
