// SPDX-License-Identifier: MIT
#include "main_window/board_controls.h"

#include "game/countdown.h"
#include "main_window/accessible.h"
#include "main_window/board_art.h"
#include "main_window/button_art.h"
#include "main_window/led_display.h"
#include "main_window/player_chart.h"
#include "main_window/rotor_logo.h"
#include "main_window/speed_bar.h"
#include "twips/twips.h"
#include "twips/twips_adapter.h"
#include "version.h"
#include "widgets/enter_presses_button.h"
#include "widgets/focus_ring.h"
#include "widgets/panel_frame_style.h"
#include "widgets/remembered_place.h"
#include "widgets/tag_label.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QIcon>
#include <QPushButton>
#include <QRadioButton>

namespace main_window
{

using widgets::TagLabel;

using rotavex::kFirstPlayer;
using rotavex::kLastPlayer;
using rotavex::PlayerSlot;

namespace
{

    const QColor kPanelBackground(224, 224, 224);
    const QColor kSpeedOnColour(0, 128, 0);
    // The bars' fill before the first refresh colours them (0x00BBGGRR).
    constexpr quint32 kFirstBarColour = 0x0000FF00;
    constexpr quint32 kOtherBarColour = 0x000080FF;

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

    // The window's buttons as designed: caption, tooltip, picture, and whether they toggle.
    struct ButtonDesign {
        QPushButton *BoardControls::*member;
        const char *name;
        const char *caption;
        const char *toolTip;
        ButtonArt art;
        bool checkable;
    };
    constexpr std::array<ButtonDesign, 8> kButtons { {
        { &BoardControls::cmdSetup, "cmdSetup", "Setup", "Setup BT port and player name",
            ButtonArt::Setup, false },
        { &BoardControls::cmdQuit, "cmdQuit", "Quit", "Quit this application", ButtonArt::Quit,
            false },
        { &BoardControls::CmdStart, "CmdStart", "Start", "", ButtonArt::StartStop, true },
        { &BoardControls::CmdClear, "CmdClear", "Clear", "Clear record labels", ButtonArt::Clear,
            false },
        { &BoardControls::CmdVisual, "CmdVisual", "", "View Mode", ButtonArt::View, true },
        { &BoardControls::CmdScore, "CmdScore", "Hight Score", "Show Hight score", ButtonArt::Score,
            false },
        { &BoardControls::CmdDisplay, "CmdDisplay", "", "Scoreboard for spectators",
            ButtonArt::Display, true },
        { &BoardControls::CmdCompetition, "CmdCompetition", "", "Competition",
            ButtonArt::Competition, false },
    } };

    QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption,
        const QString &toolTip, ButtonArt art, const BoardArt *drawn)
    {
        auto *button = new QPushButton(caption, parent);
        button->setObjectName(QLatin1String(name));
        button->setToolTip(toolTip);
        button->setIcon(drawn ? ButtonIcon(drawn->button(art)) : ButtonIcon(art));
        button->setFocusPolicy(Qt::TabFocus);
        // A picture-only button is known to assistive technology by what its tooltip says.
        if (caption.isEmpty()) {
            button->setAccessibleName(toolTip);
        }
        return button;
    }

} // namespace

BoardControls BuildBoardControls(QWidget &window, const BoardArt *art)
{
    BoardControls c;
    InstallAccessibleFactory();
    window.setObjectName(QStringLiteral("frmMain"));
    setPanelBackground(&window);
    window.resize(
        twips::toPixels({ 0, 0, layout::kDesignClientWidth, layout::kDesignClientHeight }, window)
            .size());
    new widgets::RememberedPlace(window, settings_store::window_places::kBoard);

    auto *frameStyle = new widgets::PanelFrameStyle();
    frameStyle->setParent(&window);
    for (int i = 0; i < 2; ++i) {
        c.frBase[i] = new QGroupBox(&window);
        c.frBase[i]->setObjectName(indexedName("frBase", i));
        c.frBase[i]->setStyle(frameStyle);
    }
    c.frBase[0]->setTitle(QStringLiteral("Play Mode"));
    c.frBase[1]->setTitle(QStringLiteral("Monitor"));

    c.pctBase = new QWidget(c.frBase[0]);
    c.pctBase->setObjectName(QStringLiteral("pctBase"));
    setPanelBackground(c.pctBase);
    c.pctBase->setGeometry(twips::designPixels(layout::DesignInventory(), "pctBase", window));
    c.pctBase->hide();

    c.cmdStr = new QPushButton(QStringLiteral("Strength Mode"), c.pctBase);
    c.cmdStr->setObjectName(QStringLiteral("cmdStr"));
    c.cmdStr->setToolTip(QStringLiteral("Set the countdown timer"));
    c.cmdStr->setGeometry(twips::designPixels(layout::DesignInventory(), "cmdStr", window));

    c.CurTimer = new LedDisplay(3, c.pctBase);
    c.CurTimer->setAccessibleName(QStringLiteral("Seconds left"));
    c.CurTimer->setObjectName(QStringLiteral("CurTimer"));
    c.CurTimer->setColours(Qt::black, kPanelBackground);
    // Sized to its panel, as the display sizes itself to what is visible of it.
    c.CurTimer->setGeometry(twips::designPixels(layout::DesignInventory(), "CurTimer", window)
                                .intersected(QRect(QPoint(0, 0), c.pctBase->size())));
    c.CurTimer->setNumber(game::kFirstPresetSeconds);
    c.CurTimer->setTag(QString::number(game::kFirstPresetSeconds));

    const std::array<QString, 2> modeCaptions { QStringLiteral("Speed"),
        QStringLiteral("Strength") };
    c.optModeGroup = new QButtonGroup(&window);
    for (int i = 0; i < 2; ++i) {
        c.OptMode[i] = new QRadioButton(modeCaptions[i], c.frBase[0]);
        c.OptMode[i]->setObjectName(indexedName("OptMode", i));
        c.OptMode[i]->setGeometry(
            twips::designPixels(layout::DesignInventory(), c.OptMode[i]->objectName(), window));
        c.optModeGroup->addButton(c.OptMode[i], i);
    }
    c.OptMode[0]->setChecked(true);

    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        c.lblName[n] = new TagLabel(c.frBase[1]);
        c.lblName[n]->setAccessibleName(QStringLiteral("Player %1 name").arg(n));
        c.lblName[n]->setObjectName(indexedName("lblName", n));
        c.lblName[n]->setText(QStringLiteral("Player%1 name").arg(n));

        c.lblRPM[n] = new TagLabel(c.frBase[1]);
        c.lblRPM[n]->setAccessibleName(QStringLiteral("Player %1 speed").arg(n));
        c.lblRPM[n]->setObjectName(indexedName("lblRPM", n));
        c.lblRPM[n]->setText(QStringLiteral("0 rpm"));

        c.lblHI[n] = new TagLabel(c.frBase[1]);
        c.lblHI[n]->setAccessibleName(QStringLiteral("Player %1 record").arg(n));
        c.lblHI[n]->setObjectName(indexedName("lblHI", n));
        c.lblHI[n]->setText(QStringLiteral("0 rpm"));
        c.lblHI[n]->setBold(true);

        // Bars after labels: a long name runs under the bar, not over it.
        c.pbar[n] = new SpeedBar(c.frBase[1]);
        c.pbar[n]->setAccessibleName(QStringLiteral("Speed bar, player %1").arg(n));
        c.pbar[n]->setObjectName(indexedName("pbar", n));
        c.pbar[n]->setMaximum(rotavex::kMaxRpm);
        c.pbar[n]->setFillColour(n == kFirstPlayer ? kFirstBarColour : kOtherBarColour);
    }

    c.pc = new QWidget(&window);
    c.pc->setObjectName(QStringLiteral("pc"));
    setPanelBackground(c.pc);

    c.CurSpeed = new LedDisplay(6, c.pc);
    c.CurSpeed->setAccessibleName(QStringLiteral("Best speed"));
    c.CurSpeed->setObjectName(QStringLiteral("CurSpeed"));
    c.CurSpeed->setColours(kSpeedOnColour, kPanelBackground);
    c.pc->setGeometry(twips::toPixels(layout::DesignGeometry().pc, window));
    // Sized to its frame, as the display sizes itself to what is visible of it.
    c.CurSpeed->setGeometry(twips::designPixels(layout::DesignInventory(), "CurSpeed", window)
                                .intersected(QRect(QPoint(0, 0), c.pc->size())));

    c.MSChart1 = new PlayerChart(&window);
    c.MSChart1->setAccessibleName(QStringLiteral("Speed chart"));
    c.MSChart1->setObjectName(QStringLiteral("MSChart1"));

    c.PctLogo = new RotorLogo(&window);
    c.PctLogo->setObjectName(QStringLiteral("PctLogo"));
    if (art) {
        c.PctLogo->setPrepared(art->logo());
    }
    // Beneath its neighbours: the chart's edge and the full-height board reach into its box.
    c.PctLogo->lower();

    for (const ButtonDesign &design : kButtons) {
        QPushButton *button = makeButton(&window, design.name, QString::fromUtf8(design.caption),
            QString::fromUtf8(design.toolTip), design.art, art);
        button->setCheckable(design.checkable);
        c.*design.member = button;
    }
    for (QPushButton *button : { c.cmdSetup, c.cmdQuit, c.CmdStart, c.CmdClear, c.CmdVisual,
             c.CmdScore, c.CmdDisplay, c.CmdCompetition }) {
        button->setGeometry(
            twips::designPixels(layout::DesignInventory(), button->objectName(), window));
    }
    return c;
}

QIcon WindowIcon()
{
    QIcon icon;
    for (const int size : rotavex::kIconSizes) {
        icon.addFile(QStringLiteral(":/icons/rotavex-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

void ApplyGeometry(const BoardControls &c, const layout::BoardGeometry &geometry, QWidget &window)
{
    c.frBase[0]->setGeometry(twips::toPixels(geometry.frBase0, window));
    c.frBase[1]->setGeometry(twips::toPixels(geometry.frBase1, window));
    c.pc->setGeometry(twips::toPixels(geometry.pc, window));
    c.PctLogo->setGeometry(twips::toPixels(geometry.PctLogo, window));
    c.MSChart1->setGeometry(twips::toPixels(geometry.MSChart1, window));
    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        c.lblName[n]->setGeometry(twips::toPixels(geometry.lblName[n], window));
        c.pbar[n]->setGeometry(twips::toPixels(geometry.pbar[n], window));
        c.lblRPM[n]->setGeometry(twips::toPixels(geometry.lblRPM[n], window));
        c.lblHI[n]->setGeometry(twips::toPixels(geometry.lblHI[n], window));
        c.lblName[n]->setRoomWidth(
            twips::toPixels({ 0, 0, layout::NameRoomTwips(geometry, n), 0 }, window).width());
    }
    widgets::FitColumn(c.lblRPM);
    widgets::FitColumn(c.lblHI);
}

QSize MinimumSize(const BoardControls &c, const QWidget &window)
{
    QStringList hidden;
    for (const layout::DesignControl &control : layout::DesignInventory()) {
        const auto *widget = window.findChild<QWidget *>(QLatin1String(control.objectName));
        // The countdown panel comes and goes with the mode; it counts as shown.
        if (widget != nullptr && widget->isHidden() && widget != c.pctBase
            && widget != c.MSChart1) {
            hidden << widget->objectName();
        }
    }
    const QSize frame = window.frameGeometry().size() - window.size();
    const layout::TwipsSize outer =
        layout::MinimumOuterSize(twips::PixelsToTwips(frame.width(), window.logicalDpiX()),
            twips::PixelsToTwips(frame.height(), window.logicalDpiY()), hidden);
    // Whole pixels that cover the twips, so nothing is short by a rounding.
    return QSize(twips::TwipsToPixelsCovering(outer.Width, window.logicalDpiX()) - frame.width(),
        twips::TwipsToPixelsCovering(outer.Height, window.logicalDpiY()) - frame.height());
}

void BuildKeyboardOrder(const BoardControls &c, QWidget &window)
{
    const QList<QWidget *> order { c.cmdSetup, c.cmdQuit, c.CmdStart, c.CmdClear, c.CmdVisual,
        c.CmdDisplay, c.CmdCompetition, c.CmdScore, c.OptMode[0], c.OptMode[1], c.cmdStr,
        c.cmdSetup };
    for (qsizetype i = 1; i < order.size(); ++i) {
        QWidget::setTabOrder(order[i - 1], order[i]);
    }
    widgets::FocusRing::install(&window);
    widgets::InstallEnterPressesButton(&window);
}

} // namespace main_window
