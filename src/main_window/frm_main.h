// SPDX-License-Identifier: MIT
#pragma once

#include "evening/evening.h"
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
class frmCompetition;
class frmDisplay;
class frmScore;

namespace announcer
{
class Announcer;
} // namespace announcer

namespace main_window
{
class CountInLabel;
class BoardArt;
class BoardView;
class CompetitionView;
class ResultsView;
class WebView;
} // namespace main_window

/// The players' board and start-up window: a view of the evening (its links, with MSComm1..
/// MSComm4 and tmrTimeout, and its game, with the timers tmrRefresh and tmrStrenght) and the
/// sender of its commands. The buttons send the clock commands; the board shows the session's
/// snapshot; the other windows open from here.
class frmMain : public QWidget
{
    Q_OBJECT
public:
    /// A board on an evening of its own, which records nothing; the evening is the window's
    /// child, so its links' and clock's timers are found in the window's object tree.
    explicit frmMain(QWidget *parent = nullptr);
    /// The board of `evening`, which must outlive the window. The board's pictures come from
    /// `art` when given (it need not outlive the constructor).
    explicit frmMain(evening::Evening &evening, const main_window::BoardArt *art = nullptr,
        QWidget *parent = nullptr);
    ~frmMain() override;

    /// The evening the board shows.
    evening::Evening &evening() { return m_evening; }
    /// The players' links, their samples and link flags.
    PlayerLinks &links() { return m_evening.links(); }
    /// The game the board shows.
    game::GameSession &session() { return m_evening.session(); }
    /// Start, Stop, the mode and the preset of the game, and its timers.
    game::GameClock &clock() { return m_evening.clock(); }
    /// Whether the player's name shows bold, as it does while the player's link is open.
    bool nameBold(rotavex::PlayerSlot player) const;
    /// The names shown on the board; the setup dialog hands back the edited ones.
    const rotavex::PlayerName &playerName() const { return m_evening.session().playerNames(); }
    /// The mode the running (or last) game was started in; Unset until the first start.
    game::PlayMode playMode() const { return m_evening.session().snapshot().mode; }
    /// Where the layout put the moving controls, in twips, after the last resize or toggle.
    const layout::BoardGeometry &boardGeometry() const { return m_geometry; }
    /// The high-score window while it is open, else nullptr.
    frmScore *scoreWindow() const;
    /// The spectators' display, nullptr until CmdDisplay first opens it.
    frmDisplay *display() const { return m_display; }
    /// The board's side of the competition: its window, its heat console's questions.
    main_window::CompetitionView &competitionView() { return *m_competition; }
    /// The Competition window, nullptr until CmdCompetition first opens it.
    frmCompetition *competitionWindow() const;
    /// The web scoreboard's side of the board: its set-up and address.
    main_window::WebView &web() { return *m_web; }
    /// The board and the Competition window get the sound's control (and the mute key) of
    /// `announcer`, which must outlive the window. Without one the program is silent.
    void hearWith(announcer::Announcer &announcer);

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
    frmMain(std::unique_ptr<evening::Evening> owned, evening::Evening *evening,
        const main_window::BoardArt *art, QWidget *parent);
    void connectControls();
    void Form_Load();
    void Form_Resize();
    /// What the first picture does not need: the window icon, the smallest size, the Bluetooth
    /// service and the results file's notice.
    void afterFirstPaint();
    /// The name label's tooltip: the player's whole name, then the state of the player's link.
    void updateNameToolTip(rotavex::PlayerSlot player);

    /// The evening of a board made without one; destroyed after every view of it.
    std::unique_ptr<evening::Evening> m_ownedEvening;
    evening::Evening &m_evening;
    main_window::BoardControls c;
    std::unique_ptr<main_window::BoardView> m_board;
    frmDisplay *m_display = nullptr;
    layout::BoardGeometry m_geometry;
    std::unique_ptr<main_window::ResultsView> m_results;
    main_window::CompetitionView *m_competition = nullptr;
    main_window::CountInLabel *m_countIn = nullptr;
    main_window::WebView *m_web = nullptr;
    bool m_painted = false;
};
