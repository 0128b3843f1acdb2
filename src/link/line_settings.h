// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

namespace line_settings
{

enum class Parity { None, Even, Odd, Mark, Space };
enum class StopBits { One, OneAndHalf, Two };

/// Serial line settings as the program writes them, e.g. "9600,n,8,1".
struct LineSettings {
    qint32 baudRate = 9600; ///< bits per second, > 0
    Parity parity = Parity::None;
    int dataBits = 8; ///< 5..8
    StopBits stopBits = StopBits::One;

    bool operator==(const LineSettings &) const = default;
};

/// Parses "baud,parity,data,stop": baud a positive integer, parity one of n e o m s (either
/// case), data bits 5..8, stop bits 1, 1.5 or 2; blanks around fields are ignored. Returns
/// std::nullopt for anything else.
std::optional<LineSettings> Parse(const QString &text);

} // namespace line_settings
