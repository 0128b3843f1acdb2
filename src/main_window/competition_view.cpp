// SPDX-License-Identifier: MIT
#include "main_window/competition_view.h"

#include "competition/competition_host.h"
#include "evening/scoreboard_state.h"
#include "game/game_clock.h"

namespace main_window
{

CompetitionView::CompetitionView(game::GameClock &clock, PlayerLinks &links,
    results::ResultsStore *results, QWidget &window, evening::ScoreboardPublisher &scoreboard)
    : m_clock(clock)
    , m_links(links)
    , m_results(results)
    , m_window(window)
    , m_scoreboard(scoreboard)
{
}

competition::CompetitionHost *CompetitionView::host() const { return m_host; }

void CompetitionView::open()
{
    if (!m_host) {
        m_host = new competition::CompetitionHost(m_clock, m_links, m_results, &m_window);
        m_scoreboard.showBetweenHeats(m_host->board());
        QObject::connect(m_host, &competition::CompetitionHost::boardChanged, &m_scoreboard,
            &evening::ScoreboardPublisher::showBetweenHeats);
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

} // namespace main_window
