#include "common/errors.h"

#include <cstdio>

namespace qm {

Error::Error(const QString &message)
    : std::runtime_error(message.toStdString())
    , message_(message)
{
}

qint32 StrToInt(const QString &text)
{
    auto fail = [&]() -> qint32 { throw Error(QStringLiteral("'%1' is not a valid integer value").arg(text)); };
    int i = 0;
    const int n = int(text.size());
    while (i < n && text[i] == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (i < n && text[i] == QLatin1Char('$')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == QLatin1Char('0') && (text[i + 1] == QLatin1Char('x') || text[i + 1] == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    if (i >= n)
        return fail();
    qint64 value = 0;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        int digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return fail();
        value = value * base + digit;
        // Hexadecimal texts may spell the full 32-bit pattern ($FFFFFFFF is -1).
        if (value > (base == 16 ? 0xFFFFFFFFLL : 0x80000000LL))
            return fail();
    }
    if (base == 16 && !negative)
        return qint32(quint32(value));
    if (negative)
        value = -value;
    if (value > 0x7FFFFFFFLL || value < -0x80000000LL)
        return fail();
    return qint32(value);
}

std::optional<qint32> TryStrToInt(const QString &text)
{
    try {
        return StrToInt(text);
    } catch (const Error &) {
        return std::nullopt;
    }
}

namespace {
ErrorSink &sink()
{
    static ErrorSink s;
    return s;
}
} // namespace

void SetErrorSink(ErrorSink s)
{
    sink() = std::move(s);
}

void ReportError(const QString &message)
{
    if (sink()) {
        sink()(message);
        return;
    }
    // No window has installed its report (a test, a tool without a window).
    std::fprintf(stderr, "%s\n", qPrintable(message));
}

void Guard(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const Error &e) {
        ReportError(e.message());
    } catch (const std::exception &e) {
        ReportError(QString::fromLocal8Bit(e.what()));
    }
}

} // namespace qm
