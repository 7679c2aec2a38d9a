#pragma once
// A named child of a window, or a test failure that names what is missing.

#include <QObject>
#include <QString>
#include <stdexcept>

template <typename T>
T *child(QObject &root, const QString &name)
{
    T *found = root.findChild<T *>(name);
    if (!found)
        throw std::runtime_error("no child named " + name.toStdString());
    return found;
}
