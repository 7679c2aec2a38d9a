// The integer conversion against an independent reading of the same rules:
// blanks, a sign, decimal digits or "$"/"0x" hexadecimal, 32 bits. Any
// disagreement, or an exception other than the conversion error, is a find.
#include "common/errors.h"

#include <QString>
#include <cstdint>
#include <cstdlib>
#include <optional>

namespace {
std::optional<qint32> reference(const QString &t)
{
    qsizetype i = 0;
    while (i < t.size() && t[i] == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < t.size() && (t[i] == QLatin1Char('-') || t[i] == QLatin1Char('+')))
        negative = t[i++] == QLatin1Char('-');
    int base = 10;
    if (i < t.size() && t[i] == QLatin1Char('$')) {
        base = 16;
        ++i;
    } else if (i + 1 < t.size() && t[i] == QLatin1Char('0') && (t[i + 1] == QLatin1Char('x') || t[i + 1] == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    const QString digits = t.mid(i);
    if (digits.isEmpty())
        return std::nullopt;
    for (QChar c : digits) {
        const bool dec = c >= QLatin1Char('0') && c <= QLatin1Char('9');
        const bool hex = (c >= QLatin1Char('a') && c <= QLatin1Char('f')) || (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
        if (!dec && !(base == 16 && hex))
            return std::nullopt;
    }
    // Leading zeros do not count towards the size.
    QString significant = digits;
    while (significant.size() > 1 && significant.front() == QLatin1Char('0'))
        significant.remove(0, 1);
    if (significant.size() > 12)
        return std::nullopt;
    bool ok = false;
    const qint64 magnitude = significant.toLongLong(&ok, base);
    if (!ok)
        return std::nullopt;
    if (base == 16) {
        if (magnitude > 0xFFFFFFFFLL)
            return std::nullopt;
        // Hexadecimal spells the 32-bit pattern; a sign negates it.
        const qint32 pattern = qint32(quint32(magnitude));
        if (!negative)
            return pattern;
        if (magnitude > 0x80000000LL)
            return std::nullopt;
        return qint32(-magnitude);
    }
    const qint64 value = negative ? -magnitude : magnitude;
    if (value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return qint32(value);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<qint32> expected = reference(text);
    std::optional<qint32> got;
    try {
        got = qm::StrToInt(text);
    } catch (const qm::Error &) {
    }
    if (got != expected)
        std::abort();
    return 0;
}
