// SPDX-License-Identifier: MIT
#pragma once

#include "main_window/game_control.h"
#include "main_window/layout.h"
#include "measurement/speed_mode.h"
#include "results/game_log.h"
#include "shared/player_tables.h"

#include <QPointer>
#include <QRect>
#include <QWidget>

#include <array>
#include <memory>

class PlayerLinks;
class QButtonGroup;
class QCloseEvent;
class QKeyEvent;
class QGroupBox;
class QPushButton;
class QRadioButton;
class QResizeEvent;
class QShowEvent;
class QTimer;
class frmScore;

namespace results
{
class ResultsStore;
} // namespace results

class frmDisplay;

namespace display
{
class ForwardingBoard;
} // namespace display

namespace main_window
{
class LedDisplay;
class PlayerChart;
class RotorLogo;
class SpeedBar;
class TagLabel;
class WidgetBoard;
} // namespace main_window

/// The players' board and start-up window. Owns the players' links (PlayerLinks, with
/// MSComm1..MSComm4), the timers tmrTimeout, tmrRefresh and tmrStrenght, and the names.
class frmMain : public QWidget
{
    Q_OBJECT
public:
    /// `results` (which must outlive the window) records the games and feeds the high-score
    /// window; without it nothing is recorded and "Hight Score" shows nothing.
    explicit frmMain(QWidget *parent = nullptr, results::ResultsStore *results = nullptr);
    ~frmMain() override;

    /// The players' links, their samples and link flags.
    PlayerLinks &links() { return *m_links; }
    /// Whether the player's name shows bold, as it does while the player's link is open.
    bool nameBold(rotavex::PlayerSlot player) const;
    /// The names shown on the board; the setup dialog hands back the edited ones.
    const rotavex::PlayerName &playerName() const { return m_playerName; }

    /// The mode the running (or last) game was started in; Unset until the first start.
    game_control::PlayMode playMode() const { return m_playMode; }
    /// Where the layout put the moving controls, in twips, after the last resize or toggle.
    const layout::BoardGeometry &boardGeometry() const { return m_geometry; }
    /// The high-score window while it is open, else nullptr.
    frmScore *scoreWindow() const;
    /// The spectators' display, nullptr until CmdDisplay first opens it.
    frmDisplay *display() const { return m_display; }

Q_SIGNALS:
    /// Start has begun a game in `mode` (after its Clear).
    void gameStarted(game_control::PlayMode mode);
    /// The countdown display now shows `seconds`.
    void countdownShown(int seconds);
    /// A Strength countdown has run out and the game has ended.
    void countdownRanOut();
    /// Clear has reset the records and the board.
    void boardCleared();

public Q_SLOTS:
    void CmdStart_Click();
    void tmrRefresh_Timer();
    void cmdStr_Click();
    void tmrStrenght_Timer();
    void tmrTimeout_Timer();
    void OptMode_Click(int index);
    void CmdClear_Click();
    void CmdVisual_Click();
    void cmdQuit_Click();
    void cmdSetup_Click();
    void CmdScore_Click();
    void CmdDisplay_Click();
    /// A stop signal (SIGTERM, SIGHUP, SIGINT): ends the running game as Quit does, closes the
    /// links and ends the program without asking anything.
    void endBySignal();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    /// Enter and Return press the focused button, as Space does.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildControls();
    /// Tab goes through the controls in screen order, and a ring shows where it is.
    void buildKeyboardOrder();
    void connectControls();
    void Form_Load();
    void Form_Resize();
    void applyGeometry();
    /// No smaller than the layout allows without controls overlapping or being cut off.
    void updateMinimumSize();
    /// Tells the user, once and without blocking the board, what went wrong with the results
    /// file.
    void showResultsNotice();
    /// Whether the program may end now: asks when games wait to be written.
    bool mayEnd();
    /// Starts logging the game Start has just begun.
    void beginGame();
    /// The game has ended (stop, countdown, close): records it in one go, outside any tick, and
    /// marks a new best on the record label's tooltip.
    void endGame(bool complete);
    /// Shows the current names on the name labels and in the chart legend at once.
    void applyPlayerNames();
    /// The name label's tooltip: the player's whole name, then the state of the player's link.
    void updateNameToolTip(rotavex::PlayerSlot player);

    // The controls, named as the program's parts refer to them.
    std::array<QGroupBox *, 2> frBase {};
    QWidget *pctBase = nullptr;
    main_window::LedDisplay *CurTimer = nullptr;
    QPushButton *cmdStr = nullptr;
    std::array<QRadioButton *, 2> OptMode {};
    QButtonGroup *m_optModeGroup = nullptr;
    rotavex::PerPlayer<main_window::TagLabel *> lblName;
    rotavex::PerPlayer<main_window::SpeedBar *> pbar;
    rotavex::PerPlayer<main_window::TagLabel *> lblRPM;
    rotavex::PerPlayer<main_window::TagLabel *> lblHI;
    QWidget *pc = nullptr;
    main_window::LedDisplay *CurSpeed = nullptr;
    main_window::PlayerChart *MSChart1 = nullptr;
    main_window::RotorLogo *PctLogo = nullptr;
    QPushButton *cmdSetup = nullptr;
    QPushButton *cmdQuit = nullptr;
    QPushButton *CmdStart = nullptr;
    QPushButton *CmdClear = nullptr;
    QPushButton *CmdVisual = nullptr;
    QPushButton *CmdScore = nullptr;
    QPushButton *CmdDisplay = nullptr;
    QTimer *tmrTimeout = nullptr;
    QTimer *tmrStrenght = nullptr;
    QTimer *tmrRefresh = nullptr;
    PlayerLinks *m_links = nullptr;

    rotavex::PlayerName m_playerName;
    speed_mode::MeasurementState m_measurement;
    std::unique_ptr<main_window::WidgetBoard> m_widgetBoard;
    // What the play modes write to: the widgets above and, while it exists, the display.
    std::unique_ptr<display::ForwardingBoard> m_board;
    frmDisplay *m_display = nullptr;
    game_control::PlayMode m_playMode = game_control::PlayMode::Unset;
    game_control::StrengthPace m_strengthPace;
    layout::BoardGeometry m_geometry;
    results::ResultsStore *m_results = nullptr;
    QPointer<frmScore> m_score;
    results::GameLog m_gameLog;
    /// Seconds the running Strength game's countdown started from; only a game that ran its
    /// whole preset is complete.
    int m_gameStartSeconds = 0;
};
