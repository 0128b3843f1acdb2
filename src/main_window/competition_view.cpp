// SPDX-License-Identifier: MIT
#include "main_window/competition_view.h"

#include "competition/competition_host.h"
#include "display/frm_display.h"
#include "game/game_session.h"
#include "main_window/board_controls.h"
#include "web/web_scoreboard.h"

#include <QPushButton>
#include <QRadioButton>

namespace main_window
{

CompetitionView::CompetitionView(const BoardControls &controls, game::GameSession &session,
    PlayerLinks &links, results::ResultsStore *results, QWidget &window)
    : m_controls(controls)
    , m_session(session)
    , m_links(links)
    , m_results(results)
    , m_window(window)
{
}

competition::CompetitionHost *CompetitionView::host() const { return m_host; }

void CompetitionView::open()
{
    if (!m_host) {
        // The competition chooses its game as the buttons do, and ends a Speed heat as Stop.
        competition::CompetitionHost::Board board;
        board.prepare = [this](game::PlayMode mode, int presetSeconds) {
            m_controls.OptMode[mode == game::PlayMode::Strength ? 1 : 0]->click();
            for (int i = 0; i < 3 && m_session.snapshot().presetSeconds != presetSeconds; ++i) {
                m_session.nextPreset();
            }
        };
        board.stop = [this] {
            if (m_session.snapshot().running) {
                m_controls.CmdStart->click();
            }
        };
        m_host = new competition::CompetitionHost(
            m_session, m_links, m_results, std::move(board), &m_window);
        connectDisplay();
    }
    m_host->open();
}

rotavex::PlayerName CompetitionView::setupNames() const
{
    return m_host ? m_host->setupNames() : m_session.playerNames();
}

void CompetitionView::setSetupNames(const rotavex::PlayerName &names)
{
    if (m_host) {
        m_host->setSetupNames(names);
    } else {
        m_session.setPlayerNames(names);
    }
}

void CompetitionView::gameRecorded(const results::GameRecord &game)
{
    if (m_host) {
        m_host->gameRecorded(game);
    }
}

void CompetitionView::refreshed()
{
    if (m_host) {
        m_host->refreshed();
    }
}

void CompetitionView::attach(frmDisplay *display)
{
    m_display = display;
    connectDisplay();
}

void CompetitionView::attachWeb(web::WebScoreboard *web)
{
    m_web = web;
    connectDisplay();
}

void CompetitionView::connectDisplay()
{
    if (m_host && m_web) {
        m_web->showCompetition(m_host->board());
        QObject::connect(m_host, &competition::CompetitionHost::boardChanged, m_web,
            &web::WebScoreboard::showCompetition, Qt::UniqueConnection);
    }
    if (!m_host || !m_display) {
        return;
    }
    m_display->showCompetition(m_host->board());
    QObject::connect(m_host, &competition::CompetitionHost::boardChanged, m_display,
        &frmDisplay::showCompetition, Qt::UniqueConnection);
}

} // namespace main_window
