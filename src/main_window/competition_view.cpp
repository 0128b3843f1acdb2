// SPDX-License-Identifier: MIT
#include "main_window/competition_view.h"

#include "competition/competition_host.h"
#include "competition/competition_model.h"
#include "competition/frm_competition.h"
#include "competition/heat_console.h"
#include "competition/heat_text.h"
#include "display/frm_display.h"
#include "evening/evening.h"
#include "game/game_clock.h"
#include "game/game_session.h"
#include "link/player_links.h"
#include "widgets/remembered_place.h"
#include "widgets/window_place.h"

#include <QWidget>

namespace main_window
{

CompetitionView::CompetitionView(evening::Evening &evening, QWidget &window)
    : QObject(&window)
    , m_evening(evening)
    , m_board(window)
{
}

void CompetitionView::open()
{
    if (!m_window) {
        competition::CompetitionModel &model = m_evening.competition().model();
        // Opened before the board's first picture, the window still shows the competition
        // left open in the file.
        model.resume();
        m_window = new frmCompetition(model, &m_board);
        // The first time beside the board, not over its buttons, where the screen has room.
        m_window->place().setFirstPlace([this] {
            return window_place::BesideOwner(m_board.frameGeometry(), m_window->size(),
                m_window->minimumSizeHint(), widgets::RememberedPlace::availableAreas());
        });
        // The console plays the called heat through the clock, as the board's Start does.
        competition::HeatConsole &console = m_window->console();
        game::GameClock &clock = m_evening.clock();
        connect(&console, &competition::HeatConsole::startRequested, &clock,
            [&clock] { clock.startHeat(); });
        connect(
            &console, &competition::HeatConsole::stopRequested, &clock, [&clock] { clock.stop(); });
        connect(&console, &competition::HeatConsole::setupRequested, this,
            &CompetitionView::setupRequested);
        connect(&console, &competition::HeatConsole::displayRequested, this,
            &CompetitionView::displayRequested);
        connect(
            &m_evening.session(), &game::GameSession::updated, m_window, [this] { showConsole(); });
        connect(&m_evening.competition(), &competition::CompetitionHost::boardChanged, m_window,
            [this] { showConsole(); });
        PlayerLinks &links = m_evening.links();
        connect(
            &links, &PlayerLinks::statusChanged, m_window, [this, &links](rotavex::PlayerSlot p) {
                m_window->console().showLinked(p, links.isOpen(p));
            });
        for (rotavex::PlayerSlot p = rotavex::kFirstPlayer; p <= rotavex::kLastPlayer; ++p) {
            console.showLinked(p, links.isOpen(p));
        }
        showConsole();
        Q_EMIT windowMade(m_window);
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void CompetitionView::showConsole()
{
    const competition::CompetitionModel &model = m_evening.competition().model();
    // A heat counting in is under way: its Stop calls the count-in off.
    const game::Snapshot &snapshot = m_evening.session().snapshot();
    m_window->console().showView(competition::ConsoleViewFor(model.current(), model.calledHeat(),
        model.redoCalled(), snapshot.running || snapshot.countIn > 0));
}

void CompetitionView::attach(frmDisplay *display)
{
    competition::CompetitionHost &host = m_evening.competition();
    display->showBetweenHeats(competition::BetweenHeats(host.board()));
    connect(&host, &competition::CompetitionHost::boardChanged, display,
        [display](const std::optional<competition::BoardShown> &shown) {
            display->showBetweenHeats(competition::BetweenHeats(shown));
        });
}

} // namespace main_window
