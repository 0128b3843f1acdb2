// SPDX-License-Identifier: MIT
#pragma once

#include "game/game_clock.h"
#include "game/game_session.h"
#include "main_window/board_controls.h"
#include "main_window/layout.h"
#include "shared/player_tables.h"

#include <QWidget>

#include <memory>

class PlayerLinks;
class QCloseEvent;
class QPaintEvent;
class QResizeEvent;
class QShowEvent;
class frmDisplay;
class frmScore;

namespace evening
{
class ScoreboardPublisher;
} // namespace evening

namespace results
{
class GameRecorder;
class ResultsStore;
} // namespace results

namespace main_window
{
class BoardArt;
class BoardView;
class CompetitionView;
class ResultsView;
class WebView;
} // namespace main_window

namespace competition
{
class CompetitionHost;
} // namespace competition

/// The players' board and start-up window: its controls, the players' links (PlayerLinks, with
/// MSComm1..MSComm4 and tmrTimeout) and the game they play (the session and its clock with the
/// timers tmrRefresh and tmrStrenght). The buttons send the clock commands; the board, the
/// spectators' display and the recorder show the session's snapshot and events.
class frmMain : public QWidget
{
    Q_OBJECT
public:
    /// `results` (which must outlive the window) records the games and feeds the high-score
    /// window; without it nothing is recorded and "Hight Score" shows nothing. The board's
    /// pictures come from `art` when given (it need not outlive the constructor).
    explicit frmMain(QWidget *parent = nullptr, results::ResultsStore *results = nullptr,
        const main_window::BoardArt *art = nullptr);
    ~frmMain() override;

    /// The players' links, their samples and link flags.
    PlayerLinks &links() { return *m_links; }
    /// The game the board shows.
    game::GameSession &session() { return *m_session; }
    /// Start, Stop, the mode and the preset of the game, and its timers.
    game::GameClock &clock() { return *m_clock; }
    /// What the spectators' display and the web page show, published on every change.
    evening::ScoreboardPublisher &scoreboard() { return *m_scoreboard; }
    /// Whether the player's name shows bold, as it does while the player's link is open.
    bool nameBold(rotavex::PlayerSlot player) const;
    /// The names shown on the board; the setup dialog hands back the edited ones.
    const rotavex::PlayerName &playerName() const { return m_session->playerNames(); }
    /// The mode the running (or last) game was started in; Unset until the first start.
    game::PlayMode playMode() const { return m_session->snapshot().mode; }
    /// Where the layout put the moving controls, in twips, after the last resize or toggle.
    const layout::BoardGeometry &boardGeometry() const { return m_geometry; }
    /// The high-score window while it is open, else nullptr.
    frmScore *scoreWindow() const;
    /// The spectators' display, nullptr until CmdDisplay first opens it.
    frmDisplay *display() const { return m_display; }
    /// The competition on the board, nullptr until CmdCompetition first opens its window.
    competition::CompetitionHost *competition() const;
    /// The web scoreboard's side of the board: its set-up and address.
    main_window::WebView &web() { return *m_web; }

public Q_SLOTS:
    void CmdStart_Click();
    void tmrRefresh_Timer();
    void cmdStr_Click();
    void tmrStrenght_Timer();
    void OptMode_Click(int index);
    void CmdClear_Click();
    void CmdVisual_Click();
    void cmdQuit_Click();
    void cmdSetup_Click();
    void CmdScore_Click();
    void CmdDisplay_Click();
    void CmdCompetition_Click();
    /// A stop signal (SIGTERM, SIGHUP, SIGINT): ends the running game as Quit does, closes the
    /// links and ends the program without asking anything.
    void endBySignal();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void connectControls();
    void Form_Load();
    void Form_Resize();
    /// What the first picture does not need: the window icon, the smallest size, the Bluetooth
    /// service and the results file's notice.
    void afterFirstPaint();
    /// The name label's tooltip: the player's whole name, then the state of the player's link.
    void updateNameToolTip(rotavex::PlayerSlot player);

    main_window::BoardControls c;
    PlayerLinks *m_links = nullptr;
    game::GameSession *m_session = nullptr;
    game::GameClock *m_clock = nullptr;
    results::GameRecorder *m_recorder = nullptr;
    evening::ScoreboardPublisher *m_scoreboard = nullptr;
    std::unique_ptr<main_window::BoardView> m_board;
    frmDisplay *m_display = nullptr;
    layout::BoardGeometry m_geometry;
    std::unique_ptr<main_window::ResultsView> m_results;
    std::unique_ptr<main_window::CompetitionView> m_competition;
    std::unique_ptr<main_window::WebView> m_web;
    bool m_painted = false;
};
