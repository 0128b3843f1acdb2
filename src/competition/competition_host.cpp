// SPDX-License-Identifier: MIT
#include "competition/competition_host.h"

#include "competition/competition_model.h"
#include "competition/competition_store.h"
#include "competition/frm_competition.h"
#include "competition/heat_console.h"
#include "link/player_links.h"
#include "results/results_store.h"
#include "widgets/remembered_place.h"
#include "widgets/window_place.h"

#include <QWidget>

namespace competition
{

CompetitionHost::CompetitionHost(game::GameClock &clock, PlayerLinks &links,
    results::ResultsStore *results, QWidget *windowParent)
    : QObject(windowParent)
    , m_clock(clock)
    , m_session(clock.session())
    , m_links(links)
    , m_windowParent(windowParent)
    , m_store(std::make_unique<CompetitionStore>(results))
{
    connect(&m_session, &game::GameSession::started, this, &CompetitionHost::started);
}

CompetitionHost::~CompetitionHost()
{
    // The window refers to the model, the model to the store; they go in that order.
    delete m_window.data();
    m_model.reset();
}

frmCompetition *CompetitionHost::window() const { return m_window.data(); }

void CompetitionHost::open()
{
    if (!m_model) {
        m_model = std::make_unique<CompetitionModel>(*m_store);
        connect(m_model.get(), &CompetitionModel::heatCalled, this,
            [this](const QStringList &names) { heatCalled(names); });
        for (const auto changed : { &CompetitionModel::changed, &CompetitionModel::replaced }) {
            connect(m_model.get(), changed, this, [this] {
                showConsole();
                Q_EMIT boardChanged(board());
            });
        }
        connect(
            m_model.get(), &CompetitionModel::closed, this, &CompetitionHost::competitionClosed);
    }
    if (!m_window) {
        m_window = new frmCompetition(*m_model, m_windowParent);
        // The first time beside the board, not over its buttons, where the screen has room.
        m_window->place().setFirstPlace([this] {
            const QRect board = m_windowParent ? m_windowParent->frameGeometry() : QRect();
            return window_place::BesideOwner(board, m_window->size(), m_window->minimumSizeHint(),
                widgets::RememberedPlace::availableAreas());
        });
        // The console plays the called heat through the clock, as the board's Start does.
        HeatConsole &console = m_window->console();
        connect(&console, &HeatConsole::startRequested, this, [this] { m_clock.start(); });
        connect(&console, &HeatConsole::stopRequested, this, [this] { m_clock.stop(); });
        connect(&m_session, &game::GameSession::updated, this, &CompetitionHost::showConsole);
        connect(&m_links, &PlayerLinks::statusChanged, this, [this](rotavex::PlayerSlot p) {
            m_window->console().showLinked(p, m_links.isOpen(p));
        });
        for (rotavex::PlayerSlot p = rotavex::kFirstPlayer; p <= rotavex::kLastPlayer; ++p) {
            console.showLinked(p, m_links.isOpen(p));
        }
        showConsole();
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

void CompetitionHost::showConsole()
{
    if (m_window) {
        m_window->console().showView(ConsoleViewFor(m_model->current(), m_model->calledHeat(),
            m_model->redoCalled(), m_session.snapshot().running));
    }
}

std::optional<evening::BetweenHeats> CompetitionHost::board() const
{
    if (!m_model || !m_model->current()) {
        return std::nullopt;
    }
    return evening::BetweenHeatsFor(*m_model->current(), m_model->calledHeat());
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
    const Settings &settings = m_model->current()->settings;
    m_clock.choose(settings.scoring, settings.seconds);
    seatCalledHeat();
    showConsole();
    Q_EMIT boardChanged(board());
}

void CompetitionHost::seatCalledHeat()
{
    const Competition *shown = m_model ? m_model->current() : nullptr;
    const std::optional<int> called = m_model ? m_model->calledHeat() : std::nullopt;
    if (!shown || !called || *called < 0 || *called >= shown->heats.size()) {
        m_clock.setSeats(game::AllSeated());
        m_clock.setTimeLimit(std::nullopt);
        return;
    }
    game::Seats seats;
    const Heat &heat = shown->heats[*called];
    for (rotavex::PlayerSlot p = rotavex::kFirstPlayer; p <= rotavex::kLastPlayer; ++p) {
        seats[p] = heat.seats[std::size_t(p - rotavex::kFirstPlayer)] != kNoPlayer;
    }
    m_clock.setSeats(seats);
    m_clock.setTimeLimit(shown->settings.scoring == PlayMode::Speed
            ? std::optional<int>(shown->settings.seconds)
            : std::nullopt);
}

void CompetitionHost::competitionClosed()
{
    if (m_setupNames) {
        m_session.setPlayerNames(*m_setupNames);
        m_setupNames.reset();
    }
    seatCalledHeat();
    showConsole();
    Q_EMIT boardChanged(std::nullopt);
}

void CompetitionHost::started()
{
    for (rotavex::PlayerSlot p = rotavex::kFirstPlayer; p <= rotavex::kLastPlayer; ++p) {
        m_openAtStart[std::size_t(p - rotavex::kFirstPlayer)] = m_links.isOpen(p);
    }
}

void CompetitionHost::gameRecorded(const results::GameRecord &game)
{
    if (!m_model || !m_model->calledHeat() || !m_model->current()) {
        return;
    }
    // Only the competition's game, played out, is the heat's result: a Strength heat stopped
    // early stays on the board (Start goes on with it), so does a Speed heat stopped by hand.
    // A Strength game that was stopped and went on counts once its countdown has run out: its
    // record then holds the whole game, though the high-score lists take it as not complete.
    const Settings &settings = m_model->current()->settings;
    bool counts = false;
    if (settings.scoring == PlayMode::Strength) {
        counts = game.mode == PlayMode::Strength && m_session.snapshot().ranOut
            && game.presetSeconds == settings.seconds;
    } else {
        counts = game.mode == PlayMode::Speed && m_clock.playedItsTime();
    }
    if (counts) {
        m_model->takeGame(game, m_openAtStart);
        seatCalledHeat();
    }
}

} // namespace competition
