#pragma once
// What the program is to the desktop: its name and version, the title of
// its message boxes, and where an error that ends a handler is shown.

#include <QString>

namespace qm {

// The application title, the caption of every message box. It is not made
// Qt's display name: on Linux Qt appends that to every window title, and
// each window's title bar must read exactly its own caption.
inline const QString kApplicationTitle = QStringLiteral("qmset");

// Names the running application and shows errors that end a handler in a
// message box over the active window. Call once, after the application
// object exists.
void SetUpApplication();

} // namespace qm
