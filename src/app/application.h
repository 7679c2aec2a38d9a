#pragma once
// What the program is to the desktop: its name, version and icon, the
// language of Qt's own texts, the title of its message boxes, and where an
// error that ends a handler is shown.

#include <QString>
#include <QStringList>

namespace qm {

// The application title, the caption of every message box. It is not made
// Qt's display name: on Linux Qt appends that to every window title, and
// each window's title bar must read exactly its own caption.
inline const QString kApplicationTitle = QStringLiteral("qmset");

// Names the running application, gives it its icon and Qt's Chinese texts,
// and shows errors that end a handler in a message box over the active
// window. Call once, after the application object exists.
void SetUpApplication();

// Qt's own texts (standard buttons, file dialogs, edit menus, Qt's error
// messages) in Chinese, from the first folder of TranslationFolders() that
// holds them. Works with a QCoreApplication too. Returns the catalogues
// loaded, as paths; empty when none was found (Qt's texts stay English).
QStringList LoadQtTranslations();
// Where Qt's Chinese catalogues are looked for: beside the installed
// program (share/qmset/translations), then Qt's own translations folder.
QStringList TranslationFolders();

// For QMSET_SHOW_PATHS: where the installed program finds its parts, one
// "name: path" line each ("cue module", "translations"), a missing part as
// "name: (none)".
QString InstalledPathsReport();

} // namespace qm
