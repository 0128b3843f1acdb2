// SPDX-License-Identifier: MIT
#include "link/line_settings.h"

#include <QStringList>

namespace line_settings
{

namespace
{

    std::optional<Parity> parseParity(const QString &field)
    {
        if (field.size() != 1) {
            return std::nullopt;
        }
        switch (field.front().toLower().unicode()) {
        case 'n':
            return Parity::None;
        case 'e':
            return Parity::Even;
        case 'o':
            return Parity::Odd;
        case 'm':
            return Parity::Mark;
        case 's':
            return Parity::Space;
        default:
            return std::nullopt;
        }
    }

    std::optional<StopBits> parseStopBits(const QString &field)
    {
        if (field == QLatin1String("1")) {
            return StopBits::One;
        }
        if (field == QLatin1String("1.5")) {
            return StopBits::OneAndHalf;
        }
        if (field == QLatin1String("2")) {
            return StopBits::Two;
        }
        return std::nullopt;
    }

    // Digits only: toInt() alone would also take signs and blanks inside the field.
    std::optional<int> parseDecimal(const QString &field)
    {
        if (field.isEmpty()) {
            return std::nullopt;
        }
        for (const QChar ch : field) {
            if (ch < QLatin1Char('0') || ch > QLatin1Char('9')) {
                return std::nullopt;
            }
        }
        bool ok = false;
        const int value = field.toInt(&ok);
        return ok ? std::optional<int>(value) : std::nullopt;
    }

} // namespace

std::optional<LineSettings> Parse(const QString &text)
{
    const QStringList fields = text.split(QLatin1Char(','));
    if (fields.size() != 4) {
        return std::nullopt;
    }
    const std::optional<int> baudRate = parseDecimal(fields[0].trimmed());
    const std::optional<Parity> parity = parseParity(fields[1].trimmed());
    const std::optional<int> dataBits = parseDecimal(fields[2].trimmed());
    const std::optional<StopBits> stopBits = parseStopBits(fields[3].trimmed());
    if (!baudRate || *baudRate <= 0 || !parity || !dataBits || *dataBits < 5 || *dataBits > 8
        || !stopBits) {
        return std::nullopt;
    }
    return LineSettings { *baudRate, *parity, *dataBits, *stopBits };
}

} // namespace line_settings
