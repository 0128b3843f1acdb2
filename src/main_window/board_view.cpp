// SPDX-License-Identifier: MIT
#include "main_window/board_view.h"

#include "main_window/board_text.h"
#include "main_window/led_display.h"
#include "main_window/player_chart.h"
#include "main_window/speed_bar.h"
#include "widgets/tag_label.h"

#include <QPushButton>
#include <QRadioButton>

namespace main_window
{

using rotavex::kFirstPlayer;
using rotavex::kLastPlayer;
using rotavex::PlayerSlot;

void BoardView::show(const game::Snapshot &snapshot)
{
    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        const game::PlayerSnapshot &player = snapshot.players[p];
        m_widgets.lblName[p]->setText(player.name);
        m_widgets.lblRPM[p]->setText(board_text::SpeedCaption(snapshot, p));
        m_widgets.lblHI[p]->setText(board_text::RecordCaption(snapshot, p));
        m_widgets.lblHI[p]->setTag(board_text::RecordTag(snapshot, p));
        m_widgets.pbar[p]->setValue(player.bar);
        // Until the first accepted tick the bars keep the colours they were made with.
        if (player.barColour) {
            m_widgets.pbar[p]->setFillColour(*player.barColour);
        }
    }
    widgets::FitColumn(m_widgets.lblRPM);
    widgets::FitColumn(m_widgets.lblHI);
    m_widgets.CurSpeed->setNumber(snapshot.topRpm);
    m_widgets.CurTimer->setNumber(snapshot.countdownSeconds);
    m_widgets.CurTimer->setTag(QString::number(snapshot.presetSeconds));
    // Handing the chart over redraws every line: only when a page or a row changed.
    if (m_chart != snapshot.chart) {
        m_chart = snapshot.chart;
        m_widgets.MSChart1->setData(snapshot.chart);
    }
    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        // An empty seat of a competition's heat has neither a line nor a legend entry.
        m_widgets.MSChart1->setColumnShown(p, snapshot.players[p].seated);
        if (!m_labelled || m_labels[p] != snapshot.players[p].name) {
            m_labels[p] = snapshot.players[p].name;
            m_widgets.MSChart1->setColumnLabel(p, m_labels[p]);
        }
    }
    m_labelled = true;
    showControls(snapshot);
}

void BoardView::showControls(const game::Snapshot &snapshot)
{
    if (m_running != snapshot.running) {
        m_running = snapshot.running;
        m_widgets.CmdStart->setChecked(snapshot.running);
        m_widgets.CmdStart->setText(
            snapshot.running ? QStringLiteral("Stop") : QStringLiteral("Start"));
    }
    if (m_resumed != snapshot.resumed) {
        m_resumed = snapshot.resumed;
        // The totals carry on from the stop; the organiser should not take it for a new game.
        m_widgets.CmdStart->setToolTip(snapshot.resumed
                ? QStringLiteral("Resumed: kept in the history, not in Best Strength")
                : QString());
    }
    if (m_chosen != snapshot.chosen) {
        m_chosen = snapshot.chosen;
        const bool strength = snapshot.chosen == game::PlayMode::Strength;
        m_widgets.OptMode[strength ? 1 : 0]->setChecked(true);
        m_widgets.pctBase->setVisible(strength);
    }
}

} // namespace main_window
