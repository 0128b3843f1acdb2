// SPDX-License-Identifier: MIT
#pragma once

#include "competition/heat_game.h"
#include "evening/scoreboard_state.h"
#include "game/game_clock.h"
#include "shared/player_tables.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>

class PlayerLinks;
class QWidget;
class frmCompetition;

namespace results
{
class ResultsStore;
struct GameRecord;
} // namespace results

namespace competition
{

class CompetitionModel;
class CompetitionStore;

/// Runs a competition on the board: a called heat's names go to the session for its devices
/// (the names from Setup are kept aside and come back when the competition closes), the clock
/// gets the competition's game, its preset, the heat's seats and, for Speed, its time limit;
/// the heat's recorded game becomes its result. An empty seat takes no part; a player whose
/// link is not open at the start is absent. The host owns the competition (resumed from the
/// store when the window first opens); the window shows it.
class CompetitionHost : public QObject
{
    Q_OBJECT
public:
    /// `clock`, `links` and `results` must outlive the host; the competitions are kept in the
    /// results file (in memory for this run when there is none).
    CompetitionHost(game::GameClock &clock, PlayerLinks &links, results::ResultsStore *results,
        QWidget *windowParent);
    ~CompetitionHost() override;

    /// Opens (or raises) the Competition window.
    void open();
    frmCompetition *window() const;
    /// The competition run, nullptr until the window first opens.
    CompetitionModel *model() const { return m_model.get(); }

    /// The names Setup keeps: the board shows the heat's names instead while a competition
    /// has a heat on it.
    rotavex::PlayerName setupNames() const;
    /// Setup handed back edited names: the board takes them unless a heat's names are on it.
    void setSetupNames(const rotavex::PlayerName &names);

    /// A game was recorded (its id set): the result of the heat on the board, if it is one.
    void gameRecorded(const results::GameRecord &game);

    /// What the spectators' display shows between heats; nullopt without a competition.
    std::optional<evening::BetweenHeats> board() const;

Q_SIGNALS:
    void boardChanged(const std::optional<evening::BetweenHeats> &board);

private:
    void heatCalled(const QStringList &names);
    void competitionClosed();
    void started();
    /// The clock plays the called heat's seats (and a Speed heat's seconds); everyone, with
    /// no limit, when no heat is called.
    void seatCalledHeat();
    /// The heat console shows the competition's heat of the moment and whether it plays.
    void showConsole();

    game::GameClock &m_clock;
    game::GameSession &m_session;
    PlayerLinks &m_links;
    QWidget *m_windowParent;
    std::unique_ptr<CompetitionStore> m_store;
    std::unique_ptr<CompetitionModel> m_model;
    QPointer<frmCompetition> m_window;
    /// Setup's names while the board shows a heat's.
    std::optional<rotavex::PlayerName> m_setupNames;
    OpenLinks m_openAtStart {};
};

} // namespace competition
