#pragma once
// The program's version, shown by the window's version box and by
// "qmset --version".

#include <QString>

namespace qm {

inline const QString kApplicationVersion = QStringLiteral("1.54");

} // namespace qm
