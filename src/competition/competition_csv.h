// SPDX-License-Identifier: MIT
#pragma once

#include "competition/competition.h"

#include <QString>

namespace competition
{

inline constexpr auto kStandingsCsvHeader =
    "rank,name,score,unit,rounds_played,rounds_missed,status,ranked_by";
inline constexpr auto kHeatsCsvHeader =
    "heat,round,attempt,counted,device,name,status,revolutions,best_rpm,game";

/// The standings as CSV text with CRLF line ends, header first; text cells spreadsheet-safe as
/// in the results export (a name starting with = + - @, a tab or CR gets an apostrophe). Every
/// line names the ranking rule its score follows (total, mean or best), so a sheet of several
/// competitions stays readable.
QString StandingsCsv(const Competition &competition);
/// Every heat with every playing of it, one line per seat; heats not yet played have one line
/// per seat with an empty attempt.
QString HeatsCsv(const Competition &competition);

} // namespace competition
