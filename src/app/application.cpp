#include "app/application.h"

#include "common/errors.h"
#include "common/version.h"

#include <QApplication>
#include <QMessageBox>

namespace qm {

void SetUpApplication()
{
    QApplication::setApplicationName(kApplicationTitle);
    QApplication::setApplicationVersion(kApplicationVersion);
    SetErrorSink([](const QString &message) {
        QMessageBox::critical(QApplication::activeWindow(), kApplicationTitle, message);
    });
}

} // namespace qm
