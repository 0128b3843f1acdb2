// SPDX-License-Identifier: MIT
#pragma once

#include "game/game_session.h"
#include "measurement/chart_table.h"
#include "shared/player_tables.h"

#include <QString>

#include <array>
#include <optional>

class QPushButton;
class QRadioButton;
class QWidget;

namespace widgets
{
class TagLabel;
} // namespace widgets

namespace main_window
{

using widgets::TagLabel;
class LedDisplay;
class PlayerChart;
class SpeedBar;

/// Writes the game's snapshot onto the main window's widgets: names, speeds, records (their
/// tags as a mirror), bars and colours, the best of all, the countdown, the chart, Start's
/// state and the chosen mode with its countdown panel. It never
/// reads a widget back; what it wrote last is kept only to skip writing the same again.
class BoardView final
{
public:
    struct Widgets {
        rotavex::PerPlayer<TagLabel *> lblName;
        rotavex::PerPlayer<TagLabel *> lblRPM;
        rotavex::PerPlayer<TagLabel *> lblHI;
        rotavex::PerPlayer<SpeedBar *> pbar;
        LedDisplay *CurSpeed = nullptr;
        LedDisplay *CurTimer = nullptr;
        PlayerChart *MSChart1 = nullptr;
        QPushButton *CmdStart = nullptr;
        std::array<QRadioButton *, 2> OptMode {};
        QWidget *pctBase = nullptr;
    };

    explicit BoardView(const Widgets &widgets)
        : m_widgets(widgets)
    {
    }

    void show(const game::Snapshot &snapshot);

private:
    void showControls(const game::Snapshot &snapshot);

    Widgets m_widgets;
    std::optional<speed_mode::ChartTable> m_chart;
    rotavex::PlayerName m_labels;
    bool m_labelled = false;
    std::optional<game::PlayMode> m_chosen;
    std::optional<bool> m_running;
    bool m_resumed = false;
};

} // namespace main_window
