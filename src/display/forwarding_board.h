// SPDX-License-Identifier: MIT
#pragma once

#include "measurement/board.h"

namespace display
{

using rotavex::PlayerSlot;

/// A board that hands every write to the main board and then to a second one (the spectators'
/// display), so both show the same values in the same tick. Reads come from the main board
/// alone: it keeps the records.
class ForwardingBoard final : public speed_mode::Board
{
public:
    explicit ForwardingBoard(speed_mode::Board &primary)
        : m_primary(primary)
    {
    }

    /// The board that also gets every write; nullptr for none. Not owned.
    void setSecondary(speed_mode::Board *secondary) { m_secondary = secondary; }
    speed_mode::Board *secondary() const { return m_secondary; }

    void setNameCaption(PlayerSlot player, const QString &text) override;
    void setSpeedCaption(PlayerSlot player, const QString &text) override;
    void setRecordCaption(PlayerSlot player, const QString &text) override;
    QString recordTag(PlayerSlot player) const override { return m_primary.recordTag(player); }
    void setRecordTag(PlayerSlot player, const QString &text) override;
    void setBarValue(PlayerSlot player, double value) override;
    double barValue(PlayerSlot player) const override { return m_primary.barValue(player); }
    void setBarColour(PlayerSlot player, quint32 bgr) override;
    double bigDisplayValue() const override { return m_primary.bigDisplayValue(); }
    void setBigDisplayValue(qint32 value) override;
    void setChartData(const speed_mode::ChartTable &table) override;
    void setChartColumnLabel(int column, const QString &label) override;

private:
    speed_mode::Board &m_primary;
    speed_mode::Board *m_secondary = nullptr;
};

} // namespace display
