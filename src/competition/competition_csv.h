// SPDX-License-Identifier: MIT
#pragma once

#include "competition/competition.h"

#include <QString>

namespace competition
{

inline constexpr auto kStandingsCsvHeader =
    "rank,name,score,unit,rounds_played,rounds_missed,status";
inline constexpr auto kHeatsCsvHeader =
    "heat,round,attempt,counted,device,name,status,revolutions,best_rpm,game";

/// One CSV cell that a spreadsheet reads as text: a cell starting with = + - @, a tab or a
/// carriage return gets a leading apostrophe (so it is never run as a formula), then RFC 4180
/// quoting when it holds a comma, a quote or a line break.
QString SpreadsheetCell(const QString &text);

/// The standings as UTF-8-ready CSV text with CRLF line ends, header first.
QString StandingsCsv(const Competition &competition);
/// Every heat with every playing of it, one line per seat; heats not yet played have one line
/// per seat with an empty attempt.
QString HeatsCsv(const Competition &competition);

} // namespace competition
