// SPDX-License-Identifier: MIT
#pragma once

#include "competition/competition.h"

#include <QString>
#include <QStringList>

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

} // namespace competition
