// SPDX-License-Identifier: MIT
#include "shared/decimal_text.h"

#include <algorithm>

namespace decimal_text
{

namespace
{

    // Far beyond any limit a caller asks for, and ten times it plus a digit still fits.
    constexpr qint64 kMagnitudeCap = 100'000'000'000'000'000;

    struct Scan {
        bool negative = false;
        qint64 magnitude = 0; ///< capped at kMagnitudeCap
        qsizetype digits = 0;
        qsizetype end = 0; ///< index of the first character after the digits
    };

    Scan scan(QStringView text, Sign sign)
    {
        Scan result;
        qsizetype i = 0;
        if (sign == Sign::Allowed && i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
            result.negative = text[i] == u'-';
            ++i;
        }
        for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
            result.magnitude =
                std::min(result.magnitude * 10 + (text[i].unicode() - u'0'), kMagnitudeCap);
            ++result.digits;
        }
        result.end = i;
        return result;
    }

} // namespace

std::optional<qint64> parseWhole(QStringView text, Sign sign, qint64 min, qint64 max)
{
    const Scan s = scan(text, sign);
    if (s.digits == 0 || s.end != text.size()) {
        return std::nullopt;
    }
    const qint64 value = s.negative ? -s.magnitude : s.magnitude;
    if (value < min || value > max) {
        return std::nullopt;
    }
    return value;
}

qint64 parseLeading(QStringView text, qint64 ceiling)
{
    const Scan s = scan(text, Sign::Allowed);
    const qint64 magnitude = std::min(s.magnitude, ceiling);
    return s.negative ? -magnitude : magnitude;
}

} // namespace decimal_text
