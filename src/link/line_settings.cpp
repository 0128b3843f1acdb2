// SPDX-License-Identifier: MIT
#include "link/line_settings.h"

#include "shared/decimal_text.h"

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

} // namespace

std::optional<LineSettings> Parse(const QString &text)
{
    const QStringList fields = text.split(QLatin1Char(','));
    if (fields.size() != 4) {
        return std::nullopt;
    }
    const std::optional<qint64> baudRate = decimal_text::parseDigits(fields[0].trimmed(), 1);
    const std::optional<Parity> parity = parseParity(fields[1].trimmed());
    const std::optional<qint64> dataBits = decimal_text::parseDigits(fields[2].trimmed(), 5, 8);
    const std::optional<StopBits> stopBits = parseStopBits(fields[3].trimmed());
    if (!baudRate || !parity || !dataBits || !stopBits) {
        return std::nullopt;
    }
    return LineSettings { qint32(*baudRate), *parity, int(*dataBits), *stopBits };
}

} // namespace line_settings
