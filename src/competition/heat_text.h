// SPDX-License-Identifier: MIT
#pragma once

#include "competition/competition.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace competition
{

/// "Heat 3 of 12" for the heat at index `heat` (from 0).
QString HeatTitle(const Competition &competition, int heat);
/// The names at devices 1..4 of the heat, "" for an empty device.
QStringList SeatNames(const Competition &competition, const Heat &heat);
/// The names of the heat, seated ones only, in device order, joined by ", ".
QString HeatNames(const Competition &competition, const Heat &heat);
/// "Next: Ann, Bob, Cem" for the heat after `heat`; "" when `heat` is the last.
QString OnDeckText(const Competition &competition, int heat);

/// What the heat console shows: the heat on the board (or the next), its names by device and
/// which command its Start/Stop button gives.
struct ConsoleView {
    QString title; ///< "Heat 3 of 12: press Start", "Heat 3 of 12 playing", "Up next: Heat 4 of 12"
    QStringList seats; ///< names at devices 1..4, "" for a free device; empty: no heat to show
    bool canStart = false; ///< a heat is called and its game is not running
    bool canStop = false; ///< the called heat's game runs
    bool operator==(const ConsoleView &) const = default;
};

/// The console's view of `competition` (nullptr: none open) with heat `called` on the board,
/// played again when `redo`, its game `running` or not.
ConsoleView ConsoleViewFor(
    const Competition *competition, std::optional<int> called, bool redo, bool running);

} // namespace competition
