// SPDX-License-Identifier: MIT
#pragma once

#include "measurement/chart_table.h"
#include "shared/player_tables.h"

#include <QString>
#include <QtGlobal>

namespace speed_mode
{

using rotavex::PlayerSlot;

/// The display operations the play-mode updates write to, in plain values. The main window
/// implements it over its widgets; tests record the calls.
class Board
{
public:
    virtual ~Board() = default;

    /// Caption of the player's name label (plain text).
    virtual void setNameCaption(PlayerSlot player, const QString &text) = 0;
    /// Caption of the player's speed label (current speed or revolution total).
    virtual void setSpeedCaption(PlayerSlot player, const QString &text) = 0;
    /// Caption of the player's record label.
    virtual void setRecordCaption(PlayerSlot player, const QString &text) = 0;
    /// The record label's tag: the player's best rpm as decimal text ("" at start-up).
    virtual QString recordTag(PlayerSlot player) const = 0;
    virtual void setRecordTag(PlayerSlot player, const QString &text) = 0;
    /// The speed bar's value in rpm (its scale ends at 20000); reads back the value last written.
    virtual void setBarValue(PlayerSlot player, double value) = 0;
    virtual double barValue(PlayerSlot player) const = 0;
    /// The bar's fill colour as 0x00BBGGRR (red in the low byte).
    virtual void setBarColour(PlayerSlot player, quint32 bgr) = 0;
    /// The big LED display: the best rpm of all players; reads back the value last written.
    virtual double bigDisplayValue() const = 0;
    virtual void setBigDisplayValue(qint32 value) = 0;
    /// Replaces all the chart's points with the table; an empty cell is a gap.
    virtual void setChartData(const ChartTable &table) = 0;
    /// Names the chart's column (series) 1..4.
    virtual void setChartColumnLabel(int column, const QString &label) = 0;
};

} // namespace speed_mode
