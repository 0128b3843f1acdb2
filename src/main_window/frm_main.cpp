// SPDX-License-Identifier: MIT
#include "main_window/frm_main.h"

#include "display/forwarding_board.h"
#include "display/frm_display.h"
#include "link/bluetooth_devices.h"
#include "link/link_status.h"
#include "link/player_links.h"
#include "main_window/accessible.h"
#include "main_window/button_art.h"
#include "main_window/led_display.h"
#include "main_window/player_chart.h"
#include "main_window/rotor_logo.h"
#include "main_window/speed_bar.h"
#include "main_window/tag_label.h"
#include "main_window/twips.h"
#include "main_window/twips_adapter.h"
#include "main_window/waiting_games_prompt.h"
#include "main_window/widget_board.h"
#include "results/results_store.h"
#include "scores/frm_score.h"
#include "setup/frm_setup.h"
#include "setup/settings_store.h"
#include "version.h"
#include "widgets/focus_ring.h"
#include "widgets/tool_tip.h"
#include "widgets/whole_lines.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QGroupBox>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScreen>
#include <QShowEvent>
#include <QTextDocument>
#include <QTimer>

#include <chrono>
#include <cmath>

using rotavex::kFirstPlayer;
using rotavex::kLastPlayer;
using rotavex::PlayerSlot;

namespace
{

using namespace std::chrono_literals;

const QColor kPanelBackground(224, 224, 224);
const QColor kSpeedOnColour(0, 128, 0);
// The bars' fill before the first refresh colours them (0x00BBGGRR).
constexpr quint32 kFirstBarColour = 0x0000FF00;
constexpr quint32 kOtherBarColour = 0x000080FF;
constexpr qint16 kLastPort = 16;

QString indexedName(const char *name, int index)
{
    return QLatin1String(name) + QString::number(index);
}

void setPanelBackground(QWidget *widget)
{
    QPalette colours = widget->palette();
    colours.setColor(QPalette::Window, kPanelBackground);
    widget->setPalette(colours);
    widget->setAutoFillBackground(true);
}

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption,
    const QString &toolTip, main_window::ButtonArt art)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(toolTip);
    button->setIcon(main_window::ButtonIcon(art));
    button->setFocusPolicy(Qt::TabFocus);
    // A picture-only button is known to assistive technology by what its tooltip says.
    if (caption.isEmpty()) {
        button->setAccessibleName(toolTip);
    }
    return button;
}

} // namespace

frmMain::frmMain(QWidget *parent, results::ResultsStore *results)
    : QWidget(parent)
    , m_geometry(layout::DesignGeometry())
    , m_results(results)
{
    QIcon icon;
    for (const int size : { 16, 32, 48, 64, 128, 256 }) {
        icon.addFile(QStringLiteral(":/icons/rotavex-%1.png").arg(size), QSize(size, size));
    }
    setWindowIcon(icon);
    buildControls();
    buildKeyboardOrder();
    connectControls();
    Form_Load();
    // After the window is up, so the message has a window to stand beside.
    QTimer::singleShot(0, this, &frmMain::showResultsNotice);
    if (m_results) {
        // Games that waited and were written later, or news about the file, reach the user too.
        m_results->setChangeHandler([this] {
            showResultsNotice();
            if (m_score) {
                m_score->reload();
            }
        });
    }
}

frmMain::~frmMain()
{
    if (m_results) {
        m_results->setChangeHandler({});
    }
}

void frmMain::buildControls()
{
    main_window::InstallAccessibleFactory();
    setObjectName(QStringLiteral("frmMain"));
    setPanelBackground(this);
    resize(twips::toPixels({ 0, 0, layout::kDesignClientWidth, layout::kDesignClientHeight }, *this)
               .size());

    for (int i = 0; i < 2; ++i) {
        frBase[i] = new QGroupBox(this);
        frBase[i]->setObjectName(indexedName("frBase", i));
    }
    frBase[0]->setTitle(QStringLiteral("Play Mode"));
    frBase[1]->setTitle(QStringLiteral("Monitor"));

    pctBase = new QWidget(frBase[0]);
    pctBase->setObjectName(QStringLiteral("pctBase"));
    setPanelBackground(pctBase);
    pctBase->setGeometry(twips::designPixels(layout::DesignInventory(), "pctBase", *this));
    pctBase->hide();

    cmdStr = new QPushButton(QStringLiteral("Strength Mode"), pctBase);
    cmdStr->setObjectName(QStringLiteral("cmdStr"));
    cmdStr->setToolTip(QStringLiteral("Set the countdown timer"));
    cmdStr->setGeometry(twips::designPixels(layout::DesignInventory(), "cmdStr", *this));

    CurTimer = new main_window::LedDisplay(3, pctBase);
    CurTimer->setAccessibleName(QStringLiteral("Seconds left"));
    CurTimer->setObjectName(QStringLiteral("CurTimer"));
    CurTimer->setColours(Qt::black, kPanelBackground);
    // Sized to its panel, as the display sizes itself to what is visible of it.
    CurTimer->setGeometry(twips::designPixels(layout::DesignInventory(), "CurTimer", *this)
                              .intersected(QRect(QPoint(0, 0), pctBase->size())));
    CurTimer->setNumber(90);
    CurTimer->setTag(QStringLiteral("90"));

    const std::array<QString, 2> modeCaptions { QStringLiteral("Speed"),
        QStringLiteral("Strength") };
    m_optModeGroup = new QButtonGroup(this);
    for (int i = 0; i < 2; ++i) {
        OptMode[i] = new QRadioButton(modeCaptions[i], frBase[0]);
        OptMode[i]->setObjectName(indexedName("OptMode", i));
        OptMode[i]->setGeometry(
            twips::designPixels(layout::DesignInventory(), OptMode[i]->objectName(), *this));
        m_optModeGroup->addButton(OptMode[i], i);
    }
    OptMode[0]->setChecked(true);

    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        lblName[n] = new main_window::TagLabel(frBase[1]);
        lblName[n]->setAccessibleName(QStringLiteral("Player %1 name").arg(n));
        lblName[n]->setObjectName(indexedName("lblName", n));
        lblName[n]->setText(QStringLiteral("Player%1 name").arg(n));

        lblRPM[n] = new main_window::TagLabel(frBase[1]);
        lblRPM[n]->setAccessibleName(QStringLiteral("Player %1 speed").arg(n));
        lblRPM[n]->setObjectName(indexedName("lblRPM", n));
        lblRPM[n]->setText(QStringLiteral("0 rpm"));

        lblHI[n] = new main_window::TagLabel(frBase[1]);
        lblHI[n]->setAccessibleName(QStringLiteral("Player %1 record").arg(n));
        lblHI[n]->setObjectName(indexedName("lblHI", n));
        lblHI[n]->setText(QStringLiteral("0 rpm"));
        lblHI[n]->setBold(true);

        // Bars after labels: a long name runs under the bar, not over it.
        pbar[n] = new main_window::SpeedBar(frBase[1]);
        pbar[n]->setAccessibleName(QStringLiteral("Speed bar, player %1").arg(n));
        pbar[n]->setObjectName(indexedName("pbar", n));
        pbar[n]->setMaximum(rotavex::kMaxRpm);
        pbar[n]->setFillColour(n == kFirstPlayer ? kFirstBarColour : kOtherBarColour);
    }

    pc = new QWidget(this);
    pc->setObjectName(QStringLiteral("pc"));
    setPanelBackground(pc);

    CurSpeed = new main_window::LedDisplay(6, pc);
    CurSpeed->setAccessibleName(QStringLiteral("Best speed"));
    CurSpeed->setObjectName(QStringLiteral("CurSpeed"));
    CurSpeed->setColours(kSpeedOnColour, kPanelBackground);
    pc->setGeometry(twips::toPixels(m_geometry.pc, *this));
    // Sized to its frame, as the display sizes itself to what is visible of it.
    CurSpeed->setGeometry(twips::designPixels(layout::DesignInventory(), "CurSpeed", *this)
                              .intersected(QRect(QPoint(0, 0), pc->size())));

    MSChart1 = new main_window::PlayerChart(this);
    MSChart1->setAccessibleName(QStringLiteral("Speed chart"));
    MSChart1->setObjectName(QStringLiteral("MSChart1"));

    PctLogo = new main_window::RotorLogo(this);
    PctLogo->setObjectName(QStringLiteral("PctLogo"));
    // Beneath its neighbours: the chart's edge and the full-height board reach into its box.
    PctLogo->lower();

    using main_window::ButtonArt;
    cmdSetup = makeButton(this, "cmdSetup", QStringLiteral("Setup"),
        QStringLiteral("Setup BT port and player name"), ButtonArt::Setup);
    cmdQuit = makeButton(this, "cmdQuit", QStringLiteral("Quit"),
        QStringLiteral("Quit this application"), ButtonArt::Quit);
    CmdStart =
        makeButton(this, "CmdStart", QStringLiteral("Start"), QString(), ButtonArt::StartStop);
    CmdStart->setCheckable(true);
    CmdClear = makeButton(this, "CmdClear", QStringLiteral("Clear"),
        QStringLiteral("Clear record labels"), ButtonArt::Clear);
    CmdVisual =
        makeButton(this, "CmdVisual", QString(), QStringLiteral("View Mode"), ButtonArt::View);
    CmdVisual->setCheckable(true);
    CmdScore = makeButton(this, "CmdScore", QStringLiteral("Hight Score"),
        QStringLiteral("Show Hight score"), ButtonArt::Score);
    CmdDisplay = makeButton(this, "CmdDisplay", QString(),
        QStringLiteral("Scoreboard for spectators"), ButtonArt::Display);
    CmdDisplay->setCheckable(true);
    for (QPushButton *button :
        { cmdSetup, cmdQuit, CmdStart, CmdClear, CmdVisual, CmdScore, CmdDisplay }) {
        button->setGeometry(
            twips::designPixels(layout::DesignInventory(), button->objectName(), *this));
    }

    tmrTimeout = new QTimer(this);
    tmrTimeout->setObjectName(QStringLiteral("tmrTimeout"));
    tmrTimeout->setInterval(2000ms);
    tmrStrenght = new QTimer(this);
    tmrStrenght->setObjectName(QStringLiteral("tmrStrenght"));
    tmrStrenght->setInterval(1000ms);
    tmrRefresh = new QTimer(this);
    tmrRefresh->setObjectName(QStringLiteral("tmrRefresh"));
    tmrRefresh->setInterval(1000ms);
    tmrTimeout->start();

    m_links = new PlayerLinks(this);

    m_widgetBoard = std::make_unique<main_window::WidgetBoard>(
        main_window::WidgetBoard::Widgets { lblName, lblRPM, lblHI, pbar, CurSpeed, MSChart1 });
    m_board = std::make_unique<display::ForwardingBoard>(*m_widgetBoard);
    applyGeometry();
}

void frmMain::buildKeyboardOrder()
{
    // The toolbar left to right as it stands (the screen button before "Hight Score"), then
    // the Play Mode panel top to bottom.
    const QList<QWidget *> order { cmdSetup, cmdQuit, CmdStart, CmdClear, CmdVisual, CmdDisplay,
        CmdScore, OptMode[0], OptMode[1], cmdStr, cmdSetup };
    for (qsizetype i = 1; i < order.size(); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
    widgets::FocusRing::install(this);
}

void frmMain::connectControls()
{
    connect(CmdStart, &QPushButton::clicked, this, &frmMain::CmdStart_Click);
    connect(cmdStr, &QPushButton::clicked, this, &frmMain::cmdStr_Click);
    connect(CmdClear, &QPushButton::clicked, this, &frmMain::CmdClear_Click);
    connect(CmdVisual, &QPushButton::clicked, this, &frmMain::CmdVisual_Click);
    connect(cmdQuit, &QPushButton::clicked, this, &frmMain::cmdQuit_Click);
    connect(cmdSetup, &QPushButton::clicked, this, &frmMain::cmdSetup_Click);
    connect(CmdScore, &QPushButton::clicked, this, &frmMain::CmdScore_Click);
    connect(CmdDisplay, &QPushButton::clicked, this, &frmMain::CmdDisplay_Click);
    connect(m_optModeGroup, &QButtonGroup::idClicked, this, &frmMain::OptMode_Click);
    connect(tmrRefresh, &QTimer::timeout, this, &frmMain::tmrRefresh_Timer);
    connect(tmrStrenght, &QTimer::timeout, this, &frmMain::tmrStrenght_Timer);
    connect(tmrTimeout, &QTimer::timeout, this, &frmMain::tmrTimeout_Timer);
    // The name's weight follows the link from here alone, whoever opens or closes it; a lost
    // link shows at once, two watchdog ticks before its speed drops to 0.
    connect(m_links, &PlayerLinks::openChanged, this, [this](PlayerSlot player, bool open) {
        lblName[player]->setBold(open);
        if (open) {
            m_gameLog.linkOpened(player);
        }
    });
    connect(m_links, &PlayerLinks::statusChanged, this, &frmMain::updateNameToolTip);
}

void frmMain::Form_Load()
{
    setWindowTitle(QStringLiteral("Rotavex Bluetooth %1.%2.%3")
                       .arg(rotavex::kVersionMajor)
                       .arg(rotavex::kVersionMinor)
                       .arg(rotavex::kVersionPatch));
    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        m_playerName[n] = settings_store::ReadPlayerName(n);
    }
    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        lblName[n]->setText(m_playerName[n]);
    }
    tmrRefresh->stop();
    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        MSChart1->setColumnLabel(n, m_playerName[n]);
    }
    if (settings_store::ReadOpenAtStart()) {
        // Four message boxes at start-up would be a storm: a link that cannot open waits for
        // its device instead, and its tooltip says so.
        for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
            const QString device = settings_store::ReadPlayerDevice(n);
            const qint16 port = settings_store::ReadPlayerPort(n);
            if (!device.isEmpty()) {
                m_links->openDeviceAtStart(n, device);
            } else if (port >= 1 && port <= kLastPort) {
                m_links->openAtStart(n, port);
            }
        }
    }
    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        updateNameToolTip(n);
    }
}

bool frmMain::nameBold(PlayerSlot player) const { return lblName[player]->bold(); }

void frmMain::applyPlayerNames()
{
    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        m_board->setNameCaption(n, m_playerName[n]);
        m_board->setChartColumnLabel(n, m_playerName[n]);
        updateNameToolTip(n);
    }
}

void frmMain::updateNameToolTip(PlayerSlot player)
{
    link_status::LinkStatus status = m_links->status(player);
    if (status.port == 0 && status.device.isEmpty()) {
        // Never opened yet: the port or device it would open is the stored one.
        status.port = settings_store::ReadPlayerPort(player);
        status.device = settings_store::ReadPlayerDevice(player);
        status.deviceName = m_links->bluetoothDevices().nameOf(status.device);
    }
    // The whole name first: the label may show it cut short. Tooltips guess at markup; the name
    // comes from the user and the reason from the serial layer, and both must show as written.
    lblName[player]->setToolTip(widgets::ToolTipText(
        m_playerName[player] + QLatin1Char('\n') + link_status::Describe(status)));
}

void frmMain::tmrTimeout_Timer() { m_links->watchdogTick(); }

void frmMain::CmdStart_Click()
{
    if (CmdStart->isChecked()) {
        CmdClear_Click();
        if (OptMode[0]->isChecked()) {
            m_playMode = game_control::PlayMode::Speed;
        } else if (OptMode[1]->isChecked()) {
            // A countdown that ran out starts again from its preset; one stopped with seconds
            // left goes on from them.
            CurTimer->setNumber(static_cast<qint32>(
                game_control::StrengthStartSeconds(CurTimer->number(), CurTimer->tag())));
            // The Strength board starts from zero, not from what the Speed reset wrote.
            speed_mode::UpdateStrengthMode(
                m_measurement, m_links->playerRpm(), m_playerName, *m_board, true);
            m_strengthPace = {};
            tmrStrenght->start();
            m_playMode = game_control::PlayMode::Strength;
            Q_EMIT countdownShown(static_cast<int>(CurTimer->number()));
        }
        CmdStart->setText(QStringLiteral("Stop"));
        tmrRefresh->start();
        beginGame();
        Q_EMIT gameStarted(m_playMode);
    } else {
        CmdStart->setText(QStringLiteral("Start"));
        tmrStrenght->stop();
        tmrRefresh->stop();
        // A Speed game is complete whenever it is stopped; a Strength game only by its countdown.
        endGame(m_playMode == game_control::PlayMode::Speed);
    }
}

void frmMain::tmrRefresh_Timer()
{
    // The game log sees whether the tick was accepted by its chart row moving on.
    const qint16 rowBefore = m_playMode == game_control::PlayMode::Strength
        ? m_measurement.StrengthRow
        : m_measurement.SpeedRow;
    switch (m_playMode) {
    case game_control::PlayMode::Speed:
        speed_mode::UpdateSpeedMode(
            m_measurement, m_links->playerRpm(), m_playerName, *m_board, false);
        break;
    case game_control::PlayMode::Strength:
        game_control::RefreshTick(m_strengthPace);
        speed_mode::UpdateStrengthMode(
            m_measurement, m_links->playerRpm(), m_playerName, *m_board, false);
        break;
    case game_control::PlayMode::Unset:
        return;
    }
    m_gameLog.afterTick(rowBefore,
        m_playMode == game_control::PlayMode::Strength ? m_measurement.StrengthRow
                                                       : m_measurement.SpeedRow,
        m_links->playerRpm());
}

void frmMain::cmdStr_Click()
{
    if (const std::optional<int> preset = game_control::NextPreset(CurTimer->tag())) {
        CurTimer->setNumber(*preset);
        CurTimer->setTag(QString::number(*preset));
        Q_EMIT countdownShown(*preset);
    }
}

void frmMain::tmrStrenght_Timer()
{
    const game_control::CountdownStepResult step = game_control::CountdownStep(CurTimer->number());
    CurTimer->setNumber(static_cast<qint32>(step.newValue));
    Q_EMIT countdownShown(static_cast<int>(step.newValue));
    // Both timers tick every second; when this one fires first in the last second, the game's
    // last refresh is still due and runs before the timers stop.
    const int refreshesOwed = game_control::CountdownTick(m_strengthPace, step.ranOut);
    for (int i = 0; i < refreshesOwed && tmrRefresh->isActive(); ++i) {
        tmrRefresh_Timer();
    }
    if (step.ranOut) {
        tmrStrenght->stop();
        tmrRefresh->stop();
        CmdStart->setChecked(false);
        CmdStart->setText(QStringLiteral("Start"));
        endGame(m_gameStartSeconds == CurTimer->tag().toInt());
        Q_EMIT countdownRanOut();
    }
}

void frmMain::OptMode_Click(int index) { pctBase->setVisible(index == 1); }

void frmMain::CmdClear_Click()
{
    // Through the board, so the spectators' display clears its records too.
    m_board->setBigDisplayValue(0);
    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        m_board->setRecordTag(n, QStringLiteral("0"));
    }
    speed_mode::UpdateSpeedMode(m_measurement, m_links->playerRpm(), m_playerName, *m_board, true);
    Q_EMIT boardCleared();
}

void frmMain::CmdVisual_Click()
{
    MSChart1->setVisible(!CmdVisual->isChecked());
    Form_Resize();
}

void frmMain::cmdQuit_Click()
{
    endGame(m_playMode == game_control::PlayMode::Speed);
    if (!mayEnd()) {
        return;
    }
    // Ends the program without the close steps; open ports are released as it ends.
    QCoreApplication::exit(0);
}

void frmMain::endBySignal()
{
    endGame(m_playMode == game_control::PlayMode::Speed);
    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        if (m_links->isOpen(n) || link_status::IsWaiting(m_links->status(n).state)) {
            m_links->close(n);
        }
    }
    // Games that still wait get their last try as the store ends.
    QCoreApplication::exit(0);
}

bool frmMain::mayEnd()
{
    return !m_results || main_window::MayEndWithWaitingGames(this, *m_results);
}

void frmMain::cmdSetup_Click()
{
    frmSetup dialog(*m_links, m_playerName, this);
    dialog.exec();
    m_playerName = dialog.Unload();
    applyPlayerNames();
    if (const QStringList messages = dialog.storeMessages(); !messages.isEmpty()) {
        QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(settings_store::kApplication),
            messages.join(QStringLiteral("\n\n")), QMessageBox::Ok, this);
        // The file name comes from the user's environment: shown as written.
        box.setTextFormat(Qt::PlainText);
        box.setObjectName(QStringLiteral("msgSettings"));
        widgets::KeepLinesWhole(box);
        box.exec();
    }
    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        updateNameToolTip(n); // a closed link's port may have changed
    }
}

void frmMain::CmdDisplay_Click()
{
    if (!CmdDisplay->isChecked()) {
        if (m_display) {
            m_display->close();
        }
        return;
    }
    if (!m_display) {
        // Created once and kept while the program runs, hidden when closed, so it always
        // holds the game as the board does.
        m_display = new frmDisplay(this);
        m_display->showBoard(*m_widgetBoard, m_playerName);
        m_display->startGame(m_playMode);
        m_display->showCountdown(static_cast<int>(CurTimer->number()));
        connect(this, &frmMain::gameStarted, m_display, &frmDisplay::startGame);
        connect(this, &frmMain::countdownShown, m_display, &frmDisplay::showCountdown);
        connect(this, &frmMain::countdownRanOut, m_display, &frmDisplay::showRanking);
        connect(this, &frmMain::boardCleared, m_display, &frmDisplay::clearRanking);
        connect(
            m_display, &frmDisplay::closed, CmdDisplay, [this] { CmdDisplay->setChecked(false); });
        m_board->setSecondary(m_display);
    }
    m_display->open(static_cast<int>(QGuiApplication::screens().indexOf(screen())));
}

void frmMain::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The frame's size is known once the window is up.
    updateMinimumSize();
}

void frmMain::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmMain::updateMinimumSize()
{
    QStringList hidden;
    for (const layout::DesignControl &control : layout::DesignInventory()) {
        const auto *widget = findChild<QWidget *>(QLatin1String(control.objectName));
        // The countdown panel comes and goes with the mode; it counts as shown.
        if (widget != nullptr && widget->isHidden() && widget != pctBase && widget != MSChart1) {
            hidden << widget->objectName();
        }
    }
    const QSize frame = frameGeometry().size() - size();
    const layout::TwipsSize outer =
        layout::MinimumOuterSize(twips::PixelsToTwips(frame.width(), logicalDpiX()),
            twips::PixelsToTwips(frame.height(), logicalDpiY()), hidden);
    // Whole pixels that cover the twips, so nothing is short by a rounding.
    setMinimumSize(twips::TwipsToPixelsCovering(outer.Width, logicalDpiX()) - frame.width(),
        twips::TwipsToPixelsCovering(outer.Height, logicalDpiY()) - frame.height());
}

void frmMain::Form_Resize()
{
    const QRect outer = frameGeometry();
    layout::LayoutBoard(m_geometry, twips::PixelsToTwips(outer.width(), logicalDpiX()),
        twips::PixelsToTwips(outer.height(), logicalDpiY()), CmdVisual->isChecked());
    applyGeometry();
}

void frmMain::applyGeometry()
{
    frBase[0]->setGeometry(twips::toPixels(m_geometry.frBase0, *this));
    frBase[1]->setGeometry(twips::toPixels(m_geometry.frBase1, *this));
    pc->setGeometry(twips::toPixels(m_geometry.pc, *this));
    PctLogo->setGeometry(twips::toPixels(m_geometry.PctLogo, *this));
    MSChart1->setGeometry(twips::toPixels(m_geometry.MSChart1, *this));
    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        lblName[n]->setGeometry(twips::toPixels(m_geometry.lblName[n], *this));
        pbar[n]->setGeometry(twips::toPixels(m_geometry.pbar[n], *this));
        lblRPM[n]->setGeometry(twips::toPixels(m_geometry.lblRPM[n], *this));
        lblHI[n]->setGeometry(twips::toPixels(m_geometry.lblHI[n], *this));
        lblName[n]->setRoomWidth(
            twips::toPixels({ 0, 0, layout::NameRoomTwips(m_geometry, n), 0 }, *this).width());
    }
    main_window::FitColumn(lblRPM);
    main_window::FitColumn(lblHI);
}

frmScore *frmMain::scoreWindow() const { return m_score.data(); }

void frmMain::CmdScore_Click()
{
    if (!m_results) {
        return;
    }
    // Another instance may have changed the file, or it may have gone since it was last read.
    m_results->refresh();
    if (m_score) {
        m_score->reload();
    } else {
        m_score = new frmScore(*m_results, this);
        m_score->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_score->show();
    m_score->raise();
    m_score->activateWindow();
}

void frmMain::beginGame()
{
    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        lblHI[n]->setToolTip(QString());
    }
    if (!m_results) {
        return;
    }
    results::GameStart start { QDateTime::currentDateTime(), results::GameMode::Speed,
        std::nullopt };
    if (m_playMode == game_control::PlayMode::Strength) {
        start.mode = results::GameMode::Strength;
        start.presetSeconds = game_control::PresetSeconds(CurTimer->tag());
        m_gameStartSeconds = static_cast<int>(CurTimer->number());
    }
    rotavex::PerPlayer<bool> open;
    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        open[n] = m_links->isOpen(n);
    }
    m_gameLog.begin(start, open);
}

void frmMain::endGame(bool complete)
{
    if (!m_results || !m_gameLog.isRunning()) {
        return;
    }
    rotavex::PerPlayer<QString> ports;
    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        const link_status::LinkStatus status = m_links->status(n);
        ports[n] =
            status.port > 0 || !status.device.isEmpty() ? link_status::LinkName(status) : QString();
    }
    std::optional<results::GameRecord> game =
        m_gameLog.finish(complete, m_playerName, ports, m_measurement, *m_board);
    if (!game) {
        return;
    }
    for (const results::BestList list : m_results->addGame(*game)) {
        const QList<results::RankEntry> top = m_results->ranking(list, 1);
        if (top.isEmpty()) {
            continue;
        }
        const results::RankEntry &best = top.first();
        lblHI[best.player]->setToolTip(list == results::BestList::Speed
                ? QStringLiteral("New best speed: %1 rpm. See Hight Score.").arg(best.bestRpm)
                : QStringLiteral("New best of Strength %1 s: %2 revolutions. See Hight Score.")
                      .arg(int(list))
                      .arg(std::llround(best.revolutions)));
    }
    showResultsNotice();
    if (m_score) {
        m_score->reload();
        m_score->selectGame(game->id);
    }
}

void frmMain::showResultsNotice()
{
    QStringList notices { settings_store::TakeStoreNotice(),
        m_results ? m_results->takeNotice() : QString() };
    notices.removeAll(QString());
    const QString notice = notices.join(u'\n');
    if (notice.isEmpty()) {
        return;
    }
    auto *box = new QMessageBox(
        QMessageBox::Warning, QStringLiteral("Rotavex"), notice, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("msgResults"));
    box->setTextFormat(Qt::PlainText);
    widgets::KeepLinesWhole(*box);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

void frmMain::keyPressEvent(QKeyEvent *event)
{
    // Buttons outside a dialog take only Space; Enter and Return reach the window unhandled.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    auto *button = qobject_cast<QAbstractButton *>(focusWidget());
    if (enter && button != nullptr && isAncestorOf(button) && button->isEnabled()) {
        if (!event->isAutoRepeat()) {
            button->click();
        }
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmMain::closeEvent(QCloseEvent *event)
{
    endGame(m_playMode == game_control::PlayMode::Speed);
    if (!mayEnd()) {
        event->ignore();
        return;
    }
    if (m_display && m_display->isVisible()) {
        m_display->close();
    }
    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        // A link waiting for its device is ended too, so nothing reopens behind a closed window.
        if (m_links->isOpen(n) || link_status::IsWaiting(m_links->status(n).state)) {
            m_links->close(n);
        }
    }
    event->accept();
}
