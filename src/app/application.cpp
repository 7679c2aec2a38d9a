#include "app/application.h"

#include "app/cueplayer.h"
#include "common/errors.h"
#include "common/version.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>

#include <memory>

namespace qm {

namespace {
// Qt's catalogues of the modules the program uses; the serial port and
// multimedia ones are not there in every Qt.
const char *const kQtCatalogues[] = {"qtbase", "qtserialport", "qtmultimedia"};

QLocale ChineseLocale()
{
    return QLocale(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China);
}
} // namespace

QStringList TranslationFolders()
{
    const QDir bin(QCoreApplication::applicationDirPath());
    return {QDir::cleanPath(bin.filePath(QStringLiteral("../share/qmset/translations"))),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
}

QStringList LoadQtTranslations()
{
    QStringList loaded;
    for (const QString &folder : TranslationFolders()) {
        for (const char *catalogue : kQtCatalogues) {
            auto translator = std::make_unique<QTranslator>(QCoreApplication::instance());
            if (!translator->load(ChineseLocale(), QString::fromLatin1(catalogue), QStringLiteral("_"), folder))
                continue;
            loaded << translator->filePath();
            QCoreApplication::installTranslator(translator.release());
        }
        // The base catalogue decides the folder: catalogues of two Qt
        // versions are not mixed.
        if (!loaded.isEmpty())
            break;
    }
    return loaded;
}

QString InstalledPathsReport()
{
    const QString cue = CuePlayer::ModulePath();
    QString translations;
    for (const QString &folder : TranslationFolders()) {
        if (QFileInfo::exists(QDir(folder).filePath(QStringLiteral("qtbase_zh_CN.qm")))) {
            translations = folder;
            break;
        }
    }
    const QString none = QStringLiteral("(none)");
    return QStringLiteral("cue module: %1\ntranslations: %2\n")
        .arg(cue.isEmpty() ? none : cue, translations.isEmpty() ? none : translations);
}

void SetUpApplication()
{
    QApplication::setApplicationName(kApplicationTitle);
    QApplication::setApplicationVersion(kApplicationVersion);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/qmset/qmset.svg")));
    // Dates and sizes in the file dialogs as the rest of the program reads.
    QLocale::setDefault(ChineseLocale());
    LoadQtTranslations();
    SetErrorSink([](const QString &message) {
        QMessageBox::critical(QApplication::activeWindow(), kApplicationTitle, message);
    });
}

} // namespace qm
