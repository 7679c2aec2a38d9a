#pragma once
// Errors a handler cannot get past (a text that is no integer, a write on a
// closed port, a file that cannot be written) end the handler and reach the
// user through one top-level report; the program goes on.

#include <QString>
#include <functional>
#include <optional>
#include <stdexcept>

namespace qm {

class Error : public std::runtime_error {
public:
    explicit Error(const QString &message);
    QString message() const { return message_; }

private:
    QString message_;
};

// The one integer conversion of the program: decimal digits after optional
// leading blanks and a sign, or a hexadecimal number introduced by "$" or
// "0x". Anything else, an empty text included, throws
// "'<text>' is not a valid integer value". The result must fit 32 bits.
qint32 StrToInt(const QString &text);
// The same conversion without the error: none for a text that is no integer.
std::optional<qint32> TryStrToInt(const QString &text);

// Where the top-level report goes. The program installs a message box at
// start-up; tests install their own. Without one the text goes to stderr.
using ErrorSink = std::function<void(const QString &message)>;
void SetErrorSink(ErrorSink sink);
void ReportError(const QString &message);

// Runs a handler; an Error (or any std::exception) that escapes it is
// reported and the handler ends there.
void Guard(const std::function<void()> &handler);

} // namespace qm
