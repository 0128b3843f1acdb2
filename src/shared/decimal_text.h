// SPDX-License-Identifier: MIT
#pragma once

#include <QStringView>
#include <QtGlobal>

#include <limits>
#include <optional>

// Decimal text the program wrote itself (settings, tags, line settings) read back. Only ASCII
// digits count: QString::toInt would also take blanks and other scripts' digits, which we never
// write, so they can only come from damaged or tampered text.
namespace decimal_text
{

/// Whether a leading "+" or "-" may come before the digits.
enum class Sign { None, Allowed };

/// The whole of `text` as a number: an optional sign (when `sign` allows it) and one or more
/// digits, nothing else. std::nullopt when malformed or outside `min`..`max`.
std::optional<qint64> parseWhole(QStringView text, Sign sign, qint64 min, qint64 max);

/// The number `text` starts with: an optional sign and the digits up to the first other
/// character; 0 when there are no digits. The magnitude is capped at `ceiling` (>= 0).
qint64 parseLeading(QStringView text, qint64 ceiling);

/// A whole 16-bit signed number, sign allowed.
inline std::optional<qint64> parseInt16(QStringView text)
{
    return parseWhole(text, Sign::Allowed, std::numeric_limits<qint16>::min(),
        std::numeric_limits<qint16>::max());
}

/// A whole number of plain digits within `min`..`max` (both >= 0).
inline std::optional<qint64> parseDigits(
    QStringView text, qint64 min = 0, qint64 max = std::numeric_limits<qint32>::max())
{
    return parseWhole(text, Sign::None, min, max);
}

} // namespace decimal_text
