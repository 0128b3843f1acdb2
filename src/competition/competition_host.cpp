// SPDX-License-Identifier: MIT
#include "competition/competition_host.h"

#include "competition/competition_store.h"
#include "competition/running_competition.h"
#include "game/game_clock.h"
#include "results/game_record.h"

namespace competition
{

CompetitionHost::CompetitionHost(
    game::GameClock &clock, results::ResultsStore *results, QObject *parent)
    : QObject(parent)
    , m_clock(clock)
    , m_session(clock.session())
    , m_store(std::make_unique<CompetitionStore>(results))
    , m_model(std::make_unique<RunningCompetition>(*m_store))
{
    connect(m_model.get(), &RunningCompetition::heatCalled, this,
        [this](const QStringList &names) { heatCalled(names); });
    for (const auto changed : { &RunningCompetition::changed, &RunningCompetition::replaced }) {
        connect(m_model.get(), changed, this, [this] { Q_EMIT boardChanged(board()); });
    }
    connect(m_model.get(), &RunningCompetition::closed, this, &CompetitionHost::competitionClosed);
}

// The model refers to the store; it goes first.
CompetitionHost::~CompetitionHost() { m_model.reset(); }

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

std::optional<evening::BetweenHeats> CompetitionHost::board() const
{
    if (!m_model->current()) {
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
    m_clock.choose(settings.gameKind, settings.seconds);
    seatCalledHeat();
    Q_EMIT boardChanged(board());
}

void CompetitionHost::seatCalledHeat()
{
    const Competition *shown = m_model->current();
    const std::optional<int> called = m_model->calledHeat();
    if (!shown || !called || *called < 0 || *called >= shown->heats.size()) {
        m_session.setSeated(game::AllSeated());
        m_clock.setTimeLimit(std::nullopt);
        return;
    }
    game::Seated seated;
    const Heat &heat = shown->heats[*called];
    for (rotavex::PlayerSlot p = rotavex::kFirstPlayer; p <= rotavex::kLastPlayer; ++p) {
        seated[p] = heat.seats[std::size_t(p - rotavex::kFirstPlayer)] != kNoPlayer;
    }
    m_session.setSeated(seated);
    m_clock.setTimeLimit(shown->settings.gameKind == PlayMode::Speed
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
    Q_EMIT boardChanged(std::nullopt);
}

bool IsHeatResult(const results::GameRecord &game, const Settings &settings)
{
    if (settings.gameKind == PlayMode::Strength) {
        return game.mode == PlayMode::Strength && game.ending == results::Ending::RanOut
            && game.presetSeconds == settings.seconds;
    }
    return game.mode == PlayMode::Speed && game.ending == results::Ending::TimeUp;
}

void CompetitionHost::gameRecorded(const results::GameRecord &game)
{
    if (!m_model->calledHeat() || !m_model->current()
        || !IsHeatResult(game, m_model->current()->settings)) {
        return;
    }
    OpenLinks linked {};
    for (rotavex::PlayerSlot p = rotavex::kFirstPlayer; p <= rotavex::kLastPlayer; ++p) {
        linked[std::size_t(p - rotavex::kFirstPlayer)] = game.linkedAtStart[p];
    }
    m_model->takeGame(game, linked);
    seatCalledHeat();
}

} // namespace competition
