// SPDX-License-Identifier: MIT
#pragma once

#include "shared/player_tables.h"

#include <QObject>
#include <QPointer>

class PlayerLinks;
class QWidget;

namespace evening
{
class ScoreboardPublisher;
} // namespace evening

namespace game
{
class GameClock;
} // namespace game

namespace results
{
class ResultsStore;
struct GameRecord;
} // namespace results

namespace competition
{
class CompetitionHost;
} // namespace competition

namespace main_window
{

/// The main window's side of a competition: the host is made when the Competition window first
/// opens; until then every call passes straight through (Setup's names are the board's).
class CompetitionView
{
public:
    /// Everything given must outlive the view; `results` may be nullptr. The competition
    /// between heats goes to `scoreboard` from the moment the host is made.
    CompetitionView(game::GameClock &clock, PlayerLinks &links, results::ResultsStore *results,
        QWidget &window, evening::ScoreboardPublisher &scoreboard);

    /// Opens (or raises) the Competition window.
    void open();
    /// The competition on the board, nullptr until its window first opened.
    competition::CompetitionHost *host() const;
    /// The names Setup edits: its own, also while a heat's names are on the board.
    rotavex::PlayerName setupNames() const;
    /// Setup handed back `names`: the board shows them unless a heat's names are on it.
    void setSetupNames(const rotavex::PlayerName &names);
    /// A game was recorded (with its id): a heat's result when a heat was on the board.
    void gameRecorded(const results::GameRecord &game);

private:
    game::GameClock &m_clock;
    PlayerLinks &m_links;
    results::ResultsStore *m_results;
    QWidget &m_window;
    evening::ScoreboardPublisher &m_scoreboard;
    QPointer<competition::CompetitionHost> m_host;
};

} // namespace main_window
