#pragma once
// What the main window's own files share: the layout's fixed measures and
// the connection of a trigger to a handler run under the error report.

#include "common/errors.h"

#include <QObject>
#include <QString>

namespace qm {

inline constexpr int kToolBarHeight = 33;
inline constexpr int kPanelTop = 32;
inline constexpr int kStatusHeight = 21;
// Status panel 2, the progress of the current operation.
inline constexpr int kProgressWidth = 200;

// Connects a trigger to a handler run under the top-level error report.
template <typename Sender, typename Signal, typename F>
void on(Sender *sender, Signal signal, QObject *context, F handler)
{
    QObject::connect(sender, signal, context, [handler] { Guard(handler); });
}

// The box of a port that would not open: its own words, then the line that
// says why (missing, no permission, in use by whom).
inline QString PortBoxText(const QString &box, const QString &reason)
{
    return reason.isEmpty() ? box : box + QLatin1Char('\n') + reason;
}

} // namespace qm
