// SPDX-License-Identifier: MIT
#include "competition/competition_host.h"

#include "competition/competition_store.h"
#include "competition/frm_competition.h"
#include "link/player_links.h"
#include "results/results_store.h"

namespace competition
{

CompetitionHost::CompetitionHost(game::GameSession &session, PlayerLinks &links,
    results::ResultsStore *results, Board board, QWidget *windowParent)
    : QObject(windowParent)
    , m_session(session)
    , m_links(links)
    , m_board(std::move(board))
    , m_windowParent(windowParent)
    , m_store(std::make_unique<CompetitionStore>(results))
{
    connect(&m_session, &game::GameSession::started, this, &CompetitionHost::started);
}

CompetitionHost::~CompetitionHost()
{
    // The window refers to the store; it goes first.
    delete m_window.data();
}

frmCompetition *CompetitionHost::window() const { return m_window.data(); }

void CompetitionHost::open()
{
    if (!m_window) {
        m_window = new frmCompetition(*m_store, m_windowParent);
        connect(m_window, &frmCompetition::heatCalled, this,
            [this](const QStringList &names) { heatCalled(names); });
        connect(m_window, &frmCompetition::competitionChanged, this,
            [this] { Q_EMIT boardChanged(board()); });
        connect(m_window, &frmCompetition::competitionClosed, this,
            &CompetitionHost::competitionClosed);
        Q_EMIT boardChanged(board());
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

rotavex::PlayerName CompetitionHost::setupNames() const
{
    return m_setupNames.value_or(m_session.playerNames());
}

void CompetitionHost::setSetupNames(const rotavex::PlayerName &names)
{
    if (m_setupNames) {
        m_setupNames = names;
    } else {
        m_session.setPlayerNames(names);
    }
}

std::optional<BoardShown> CompetitionHost::board() const
{
    if (!m_window || !m_window->current()) {
        return std::nullopt;
    }
    return BoardShownFor(*m_window->current(), m_window->calledHeat());
}

void CompetitionHost::heatCalled(const QStringList &names)
{
    if (!m_setupNames) {
        m_setupNames = m_session.playerNames();
    }
    rotavex::PlayerName heatNames;
    for (rotavex::PlayerSlot p = rotavex::kFirstPlayer; p <= rotavex::kLastPlayer; ++p) {
        heatNames[p] = names.value(p - rotavex::kFirstPlayer);
    }
    m_session.setPlayerNames(heatNames);
    const Settings &settings = m_window->current()->settings;
    if (m_board.prepare) {
        m_board.prepare(settings.scoring, settings.seconds);
    }
    Q_EMIT boardChanged(board());
}

void CompetitionHost::competitionClosed()
{
    if (m_setupNames) {
        m_session.setPlayerNames(*m_setupNames);
        m_setupNames.reset();
    }
    m_speedTicks.reset();
    Q_EMIT boardChanged(std::nullopt);
}

void CompetitionHost::started()
{
    for (rotavex::PlayerSlot p = rotavex::kFirstPlayer; p <= rotavex::kLastPlayer; ++p) {
        m_openAtStart[std::size_t(p - rotavex::kFirstPlayer)] = m_links.isOpen(p);
    }
    const bool speedHeat = m_window && m_window->calledHeat() && m_window->current()
        && m_window->current()->settings.scoring == PlayMode::Speed
        && m_session.snapshot().mode == PlayMode::Speed;
    m_speedTicks = speedHeat ? std::optional<int>(0) : std::nullopt;
}

void CompetitionHost::refreshed()
{
    if (!m_speedTicks || !m_session.snapshot().running) {
        return;
    }
    if (++*m_speedTicks >= m_window->current()->settings.seconds && m_board.stop) {
        m_board.stop();
    }
}

void CompetitionHost::gameRecorded(const results::GameRecord &game)
{
    if (!m_window || !m_window->calledHeat() || !m_window->current()) {
        return;
    }
    // Only the competition's game, played out, is the heat's result: a Strength heat stopped
    // early stays on the board (Start goes on with it), so does a Speed heat stopped by hand.
    // A Strength game that was stopped and went on counts once its countdown has run out: its
    // record then holds the whole game, though the high-score lists take it as not complete.
    const Settings &settings = m_window->current()->settings;
    bool counts = false;
    if (settings.scoring == PlayMode::Strength) {
        counts = game.mode == PlayMode::Strength && m_session.snapshot().ranOut
            && game.presetSeconds == settings.seconds;
    } else {
        counts = game.mode == PlayMode::Speed && m_speedTicks && *m_speedTicks >= settings.seconds;
    }
    m_speedTicks.reset();
    if (counts) {
        m_window->takeGame(game, m_openAtStart);
    }
}

} // namespace competition
