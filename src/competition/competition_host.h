// SPDX-License-Identifier: MIT
#pragma once

#include "competition/competition.h"
#include "evening/scoreboard_state.h"
#include "shared/player_tables.h"

#include <QObject>

#include <memory>
#include <optional>

namespace game
{
class GameClock;
class GameSession;
} // namespace game

namespace results
{
class ResultsStore;
struct GameRecord;
} // namespace results

namespace competition
{

class RunningCompetition;
class CompetitionStore;

/// Runs a competition on the board: a called heat's names go to the session for its devices
/// (the names from Setup are kept aside and come back when the competition closes), the clock
/// gets the competition's game, its preset, the heat's seats and, for Speed, its time limit;
/// the heat's recorded game becomes its result. An empty seat takes no part; a player whose
/// link was not open at the start is absent. The competition left open in the store is resumed
/// at once; windows show the model and send it commands.
class CompetitionHost : public QObject
{
    Q_OBJECT
public:
    /// `clock` and `results` must outlive the host; the competitions are kept in the results
    /// file (in memory for this run when there is none).
    CompetitionHost(game::GameClock &clock, results::ResultsStore *results, QObject *parent);
    ~CompetitionHost() override;

    /// The competition run, resumed from the store when the host was made.
    RunningCompetition &model() const { return *m_model; }

    /// The names Setup keeps: the board shows the heat's names instead while a competition
    /// has a heat on it.
    rotavex::PlayerName setupNames() const;
    /// Setup handed back edited names: the board takes them unless a heat's names are on it.
    void setSetupNames(const rotavex::PlayerName &names);

    /// A game was recorded (its id set): the result of the heat on the board when the record
    /// says it was the heat's game played out.
    void gameRecorded(const results::GameRecord &game);

    /// What the spectators see between heats; nullopt without a competition.
    std::optional<evening::BetweenHeats> board() const;

Q_SIGNALS:
    void boardChanged(const std::optional<evening::BetweenHeats> &board);

private:
    void heatCalled(const QStringList &names);
    void competitionClosed();
    /// The session seats the called heat's players (and the clock keeps a Speed heat's
    /// seconds); everyone, with no limit, when no heat is called.
    void seatCalledHeat();

    game::GameClock &m_clock;
    game::GameSession &m_session;
    std::unique_ptr<CompetitionStore> m_store;
    std::unique_ptr<RunningCompetition> m_model;
    /// Setup's names while the board shows a heat's.
    std::optional<rotavex::PlayerName> m_setupNames;
};

/// Whether `game` is the result of a heat of a competition of `settings`: the competition's
/// game played out. A Strength heat stopped early is not (Start goes on with it), nor a Speed
/// heat stopped by hand. A Strength game that was stopped and went on counts once its
/// countdown has run out: its record then holds the whole game.
bool IsHeatResult(const results::GameRecord &game, const Settings &settings);

} // namespace competition
