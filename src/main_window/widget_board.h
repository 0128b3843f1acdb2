// SPDX-License-Identifier: MIT
#pragma once

#include "measurement/board.h"
#include "shared/player_tables.h"

namespace main_window
{

using rotavex::PlayerSlot;

class LedDisplay;
class PlayerChart;
class SpeedBar;
class TagLabel;

/// The play modes' board over the main window's widgets. Holds no state of its own: every
/// read comes back from the widget written.
class WidgetBoard final : public speed_mode::Board
{
public:
    struct Widgets {
        rotavex::PerPlayer<TagLabel *> lblName;
        rotavex::PerPlayer<TagLabel *> lblRPM;
        rotavex::PerPlayer<TagLabel *> lblHI;
        rotavex::PerPlayer<SpeedBar *> pbar;
        LedDisplay *CurSpeed = nullptr;
        PlayerChart *MSChart1 = nullptr;
    };

    explicit WidgetBoard(const Widgets &widgets)
        : m_widgets(widgets)
    {
    }

    void setNameCaption(PlayerSlot player, const QString &text) override;
    void setSpeedCaption(PlayerSlot player, const QString &text) override;
    void setRecordCaption(PlayerSlot player, const QString &text) override;
    QString recordTag(PlayerSlot player) const override;
    void setRecordTag(PlayerSlot player, const QString &text) override;
    void setBarValue(PlayerSlot player, double value) override;
    double barValue(PlayerSlot player) const override;
    void setBarColour(PlayerSlot player, quint32 bgr) override;
    double bigDisplayValue() const override;
    void setBigDisplayValue(qint32 value) override;
    void setChartData(const speed_mode::ChartTable &table) override;
    void setChartColumnLabel(int column, const QString &label) override;

private:
    Widgets m_widgets;
};

} // namespace main_window
