// SPDX-License-Identifier: MIT
#include "main_window/frm_main.h"

#include "competition/competition_host.h"
#include "competition/frm_competition.h"
#include "display/frm_display.h"
#include "evening/scoreboard_state.h"
#include "link/bluetooth_devices.h"
#include "link/link_status.h"
#include "link/player_links.h"
#include "link/port_names.h"
#include "main_window/board_view.h"
#include "main_window/competition_view.h"
#include "main_window/player_chart.h"
#include "main_window/results_view.h"
#include "main_window/sound_view.h"
#include "main_window/web_view.h"
#include "scores/frm_score.h"
#include "settings/settings_store.h"
#include "setup/frm_setup.h"
#include "twips/twips.h"
#include "version.h"
#include "widgets/tag_label.h"
#include "widgets/tool_tip.h"
#include "widgets/whole_lines.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

using rotavex::kFirstPlayer;
using rotavex::kLastPlayer;
using rotavex::PlayerSlot;

frmMain::frmMain(QWidget *parent)
    : frmMain(std::make_unique<evening::Evening>(), nullptr, nullptr, parent)
{
}

frmMain::frmMain(evening::Evening &evening, const main_window::BoardArt *art, QWidget *parent)
    : frmMain(nullptr, &evening, art, parent)
{
}

frmMain::frmMain(std::unique_ptr<evening::Evening> owned, evening::Evening *evening,
    const main_window::BoardArt *art, QWidget *parent)
    : QWidget(parent)
    , m_ownedEvening(std::move(owned))
    , m_evening(m_ownedEvening ? *m_ownedEvening : *evening)
    , m_geometry(layout::DesignGeometry())
{
    if (m_ownedEvening) {
        // In the window's object tree, so its timers and ports are found there by name.
        m_ownedEvening->setParent(this);
    }
    c = main_window::BuildBoardControls(*this, art);
    main_window::BuildKeyboardOrder(c, *this);
    m_board = std::make_unique<main_window::BoardView>(
        main_window::BoardView::Widgets { c.lblName, c.lblRPM, c.lblHI, c.pbar, c.CurSpeed,
            c.CurTimer, c.MSChart1, c.CmdStart, c.OptMode, c.pctBase });
    m_results = std::make_unique<main_window::ResultsView>(
        m_evening.store(), m_evening.recorder(), *this, c.lblHI);
    m_competition = new main_window::CompetitionView(m_evening, *this);
    m_web = new main_window::WebView(m_evening, *this);
    m_web->setParent(this);
    m_countIn = new main_window::CountInLabel(*this);
    main_window::ApplyGeometry(c, m_geometry, *this);
    connectControls();
    Form_Load();
}

frmMain::~frmMain()
{
    // The windows that show the evening go before an evening of the board's own.
    delete competitionWindow();
    if (m_ownedEvening) {
        m_ownedEvening->setParent(nullptr);
    }
}

void frmMain::connectControls()
{
    connect(c.CmdStart, &QPushButton::clicked, this, &frmMain::CmdStart_Click);
    connect(c.cmdStr, &QPushButton::clicked, this, &frmMain::cmdStr_Click);
    connect(c.CmdClear, &QPushButton::clicked, this, &frmMain::CmdClear_Click);
    connect(c.CmdVisual, &QPushButton::clicked, this, &frmMain::CmdVisual_Click);
    connect(c.cmdQuit, &QPushButton::clicked, this, &frmMain::cmdQuit_Click);
    connect(c.cmdSetup, &QPushButton::clicked, this, &frmMain::cmdSetup_Click);
    connect(c.CmdScore, &QPushButton::clicked, this, &frmMain::CmdScore_Click);
    connect(c.CmdDisplay, &QPushButton::clicked, this, &frmMain::CmdDisplay_Click);
    connect(c.CmdCompetition, &QPushButton::clicked, this, &frmMain::CmdCompetition_Click);
    // However an option gets checked, it chooses the next game's mode.
    connect(c.optModeGroup, &QButtonGroup::idToggled, this, [this](int index, bool checked) {
        if (checked) {
            OptMode_Click(index);
        }
    });
    game::GameSession &session = m_evening.session();
    connect(&session, &game::GameSession::updated, this, [this](const game::Snapshot &snapshot) {
        m_board->show(snapshot);
        m_countIn->showNumber(snapshot.countIn);
    });
    // A new game's records have no marks yet.
    connect(&session, &game::GameSession::started, this, [this] {
        for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
            c.lblHI[n]->setToolTip(QString());
        }
    });
    connect(m_competition, &main_window::CompetitionView::setupRequested, this,
        &frmMain::cmdSetup_Click);
    // The console's display button shows the display (and raises it), as the board's does.
    connect(m_competition, &main_window::CompetitionView::displayRequested, this, [this] {
        c.CmdDisplay->setChecked(true);
        CmdDisplay_Click();
    });
    // The display button tells where the web scoreboard is, while it is served.
    connect(
        m_web, &main_window::WebView::addressChanged, c.CmdDisplay, [this](const QString &address) {
            const QString tip = QStringLiteral("Scoreboard for spectators");
            c.CmdDisplay->setToolTip(address.isEmpty()
                    ? tip
                    : tip + QStringLiteral("\nOn the local network: ") + address);
        });
    // The name's weight follows the link from here alone, whoever opens or closes it; a lost
    // link shows at once, two watchdog ticks before its speed drops to 0.
    connect(&links(), &PlayerLinks::openChanged, this,
        [this](PlayerSlot player, bool open) { c.lblName[player]->setBold(open); });
    connect(&links(), &PlayerLinks::statusChanged, this, &frmMain::updateNameToolTip);
}

void frmMain::hearWith(announcer::Announcer &announcer)
{
    new main_window::SoundButton(announcer, *this);
    connect(m_competition, &main_window::CompetitionView::windowMade, this,
        [&announcer](QWidget *window) { new main_window::SoundButton(announcer, *window); });
    if (QWidget *window = m_competition->window()) {
        new main_window::SoundButton(announcer, *window);
    }
}

void frmMain::Form_Load()
{
    setWindowTitle(QStringLiteral("Rotavex Bluetooth %1.%2.%3")
                       .arg(rotavex::kVersionMajor)
                       .arg(rotavex::kVersionMinor)
                       .arg(rotavex::kVersionPatch));
    m_evening.loadPlayers();
    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        updateNameToolTip(n);
    }
}

bool frmMain::nameBold(PlayerSlot player) const { return c.lblName[player]->bold(); }

void frmMain::updateNameToolTip(PlayerSlot player)
{
    link_status::LinkStatus status = links().status(player);
    if (status.port == 0 && status.device.isEmpty()) {
        // Never opened yet: the port or device it would open is the stored one.
        status.port = settings_store::ReadPlayerPort(player);
        status.device = settings_store::ReadPlayerDevice(player);
        status.deviceName = links().bluetoothDevices().nameOf(status.device);
    }
    // The whole name first: the label may show it cut short. Tooltips guess at markup; the name
    // comes from the user and the reason from the serial layer, and both must show as written.
    c.lblName[player]->setToolTip(widgets::ToolTipText(
        playerName()[player] + QLatin1Char('\n') + link_status::Describe(status)));
}

void frmMain::CmdStart_Click()
{
    // A competition's heat does not start silently on closed links.
    if (!session().snapshot().running && !m_competition->mayStartHeat()) {
        c.CmdStart->setChecked(false);
        return;
    }
    clock().toggle();
}

void frmMain::tmrRefresh_Timer() { clock().refreshTick(); }

void frmMain::cmdStr_Click() { clock().nextPreset(); }

void frmMain::tmrStrenght_Timer() { clock().countdownTick(); }

void frmMain::OptMode_Click(int index)
{
    clock().choose(index == 1 ? game::PlayMode::Strength : game::PlayMode::Speed);
}

void frmMain::CmdClear_Click() { session().clear(); }

void frmMain::CmdVisual_Click()
{
    c.MSChart1->setVisible(!c.CmdVisual->isChecked());
    Form_Resize();
}

void frmMain::cmdQuit_Click()
{
    clock().stop();
    if (!m_results->mayEnd()) {
        return;
    }
    // Ends the program without the close steps; open ports are released as it ends.
    QCoreApplication::exit(0);
}

void frmMain::endBySignal()
{
    m_evening.end();
    // Games that still wait get their last try as the store ends.
    QCoreApplication::exit(0);
}

void frmMain::cmdSetup_Click()
{
    // During a competition the board shows a heat's names; Setup keeps its own.
    competition::CompetitionHost &competition = m_evening.competition();
    frmSetup dialog(links(), competition.setupNames(), this);
    dialog.exec();
    competition.setSetupNames(dialog.Unload());
    if (const QStringList messages = dialog.storeMessages(); !messages.isEmpty()) {
        // The file name comes from the user's environment: shown as written.
        widgets::ShowPlainMessage(this, QString::fromLatin1(settings_store::kApplication),
            messages.join(QStringLiteral("\n\n")), QStringLiteral("msgSettings"));
    }
    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        updateNameToolTip(n); // the name, or a closed link's port, may have changed
    }
}

void frmMain::CmdDisplay_Click()
{
    if (!c.CmdDisplay->isChecked()) {
        if (m_display) {
            m_display->close();
        }
        return;
    }
    if (!m_display) {
        // Created once and kept while the program runs, hidden when closed, so it always
        // holds the game as the board does.
        m_display = new frmDisplay(this);
        m_display->showState(m_evening.scoreboard().state());
        connect(&m_evening.scoreboard(), &evening::ScoreboardPublisher::published, m_display,
            &frmDisplay::showState);
        connect(m_display, &frmDisplay::closed, c.CmdDisplay,
            [this] { c.CmdDisplay->setChecked(false); });
        m_web->attach(m_display);
    }
    m_display->open(static_cast<int>(QGuiApplication::screens().indexOf(screen())));
}

void frmMain::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The frame's size is known once the window is up; the first time, after the first
    // picture.
    if (m_painted) {
        setMinimumSize(main_window::MinimumSize(c, *this));
    }
}

void frmMain::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    if (!m_painted) {
        m_painted = true;
        // Queued: the whole first picture reaches the screen before these are made.
        QTimer::singleShot(0, this, &frmMain::afterFirstPaint);
    }
}

void frmMain::afterFirstPaint()
{
    // Six pictures of 16 to 256 px are decoded for the icon: a few milliseconds that would
    // otherwise come before the window shows anything.
    setWindowIcon(main_window::WindowIcon());
    if (isVisible()) {
        setMinimumSize(main_window::MinimumSize(c, *this));
    }
    // Joining the system bus waits for its handshake (milliseconds on a desktop); the links of
    // stored Bluetooth devices wait for the device list until then.
    // So does the competition left open in the results file, which is looked at now (a store
    // may defer opening it until then); what the file has to say has a window to stand beside.
    m_evening.startDeferred();
    m_results->showNotice();
}

void frmMain::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmMain::Form_Resize()
{
    const QRect outer = frameGeometry();
    layout::LayoutBoard(m_geometry, twips::PixelsToTwips(outer.width(), logicalDpiX()),
        twips::PixelsToTwips(outer.height(), logicalDpiY()), c.CmdVisual->isChecked());
    main_window::ApplyGeometry(c, m_geometry, *this);
}

frmScore *frmMain::scoreWindow() const { return m_results->scoreWindow(); }

void frmMain::CmdScore_Click() { m_results->showScores(); }

void frmMain::CmdCompetition_Click() { m_competition->open(); }

frmCompetition *frmMain::competitionWindow() const { return m_competition->window(); }

void frmMain::closeEvent(QCloseEvent *event)
{
    clock().stop();
    if (!m_results->mayEnd()) {
        event->ignore();
        return;
    }
    if (m_display && m_display->isVisible()) {
        m_display->close();
    }
    links().closeAll();
    event->accept();
}
