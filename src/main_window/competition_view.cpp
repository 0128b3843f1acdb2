// SPDX-License-Identifier: MIT
#include "main_window/competition_view.h"

#include "competition/competition_host.h"
#include "display/frm_display.h"
#include "game/game_clock.h"
#include "web/web_scoreboard.h"

namespace main_window
{

CompetitionView::CompetitionView(
    game::GameClock &clock, PlayerLinks &links, results::ResultsStore *results, QWidget &window)
    : m_clock(clock)
    , m_links(links)
    , m_results(results)
    , m_window(window)
{
}

competition::CompetitionHost *CompetitionView::host() const { return m_host; }

void CompetitionView::open()
{
    if (!m_host) {
        m_host = new competition::CompetitionHost(m_clock, m_links, m_results, &m_window);
        connectDisplay();
    }
    m_host->open();
}

rotavex::PlayerName CompetitionView::setupNames() const
{
    return m_host ? m_host->setupNames() : m_clock.session().playerNames();
}

void CompetitionView::setSetupNames(const rotavex::PlayerName &names)
{
    if (m_host) {
        m_host->setSetupNames(names);
    } else {
        m_clock.session().setPlayerNames(names);
    }
}

void CompetitionView::gameRecorded(const results::GameRecord &game)
{
    if (m_host) {
        m_host->gameRecorded(game);
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
        m_web->showBetweenHeats(competition::BetweenHeats(m_host->board()));
        QObject::disconnect(m_toWeb);
        m_toWeb = QObject::connect(m_host, &competition::CompetitionHost::boardChanged, m_web,
            [web = m_web](const std::optional<competition::BoardShown> &shown) {
                web->showBetweenHeats(competition::BetweenHeats(shown));
            });
    }
    if (!m_host || !m_display) {
        return;
    }
    m_display->showBetweenHeats(competition::BetweenHeats(m_host->board()));
    QObject::disconnect(m_toDisplay);
    m_toDisplay = QObject::connect(m_host, &competition::CompetitionHost::boardChanged, m_display,
        [display = m_display](const std::optional<competition::BoardShown> &shown) {
            display->showBetweenHeats(competition::BetweenHeats(shown));
        });
}

} // namespace main_window
