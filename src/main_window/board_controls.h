// SPDX-License-Identifier: MIT
#pragma once

#include "main_window/layout.h"
#include "shared/player_tables.h"

#include <QIcon>
#include <QSize>

#include <array>

class QButtonGroup;
class QGroupBox;
class QPushButton;
class QRadioButton;
class QWidget;

namespace widgets
{
class TagLabel;
} // namespace widgets

namespace main_window
{

using widgets::TagLabel;
class BoardArt;
class LedDisplay;
class PlayerChart;
class RotorLogo;
class SpeedBar;

/// The main window's controls, named as the program's parts refer to them (each C++ name is
/// also the objectName; arrays get an index: frBase0, OptMode1, lblRPM2 ...).
struct BoardControls {
    std::array<QGroupBox *, 2> frBase {};
    QWidget *pctBase = nullptr;
    LedDisplay *CurTimer = nullptr;
    QPushButton *cmdStr = nullptr;
    std::array<QRadioButton *, 2> OptMode {};
    QButtonGroup *optModeGroup = nullptr;
    rotavex::PerPlayer<TagLabel *> lblName;
    rotavex::PerPlayer<SpeedBar *> pbar;
    rotavex::PerPlayer<TagLabel *> lblRPM;
    rotavex::PerPlayer<TagLabel *> lblHI;
    QWidget *pc = nullptr;
    LedDisplay *CurSpeed = nullptr;
    PlayerChart *MSChart1 = nullptr;
    RotorLogo *PctLogo = nullptr;
    QPushButton *cmdSetup = nullptr;
    QPushButton *cmdQuit = nullptr;
    QPushButton *CmdStart = nullptr;
    QPushButton *CmdClear = nullptr;
    QPushButton *CmdVisual = nullptr;
    QPushButton *CmdScore = nullptr;
    QPushButton *CmdDisplay = nullptr;
    QPushButton *CmdCompetition = nullptr;
};

/// Builds every control of the board as children of `window` (named "frmMain"), at their
/// design places, and sizes the window to its design size. The pictures come from `art` when
/// given, else they are drawn now.
BoardControls BuildBoardControls(QWidget &window, const BoardArt *art = nullptr);
/// Tab goes through the controls in screen order (the toolbar left to right, then the Play
/// Mode panel top to bottom), a ring shows where it is, and Enter or Return press the focused
/// button as Space does.
void BuildKeyboardOrder(const BoardControls &c, QWidget &window);

/// The window icon in every size the program ships (16 to 256 px), decoded now.
QIcon WindowIcon();

/// Moves the controls to where `geometry` (in twips) puts them and fits the columns.
void ApplyGeometry(const BoardControls &c, const layout::BoardGeometry &geometry, QWidget &window);

/// The window's smallest size (pixels) at which no control overlaps or is cut off.
QSize MinimumSize(const BoardControls &c, const QWidget &window);

} // namespace main_window
