// SPDX-License-Identifier: MIT
#pragma once

#include "shared/player_tables.h"

#include <QWidget>

class SerialControl;

/// The players' board and start-up window. Owns the four serial links MSComm1..MSComm4, the
/// timers tmrTimeout, tmrRefresh and tmrStrenght, and the shared tables.
class frmMain : public QWidget
{
    Q_OBJECT
public:
    explicit frmMain(QWidget *parent = nullptr);
    ~frmMain() override;

    /// Player N's serial link (MSComm1..MSComm4).
    SerialControl *MSComm(rotavex::PlayerSlot player) const;
    /// Shows the player's name bold while the link is open, normal otherwise.
    void setNameBold(rotavex::PlayerSlot player, bool bold);
    bool nameBold(rotavex::PlayerSlot player) const;
    /// The names shown on the board; replaced by the setup dialog.
    rotavex::PlayerName &playerName();
    /// Shows the current names on the name labels and in the chart legend at once.
    void applyPlayerNames();
    /// The samples, link flags and names shared by the links and the play modes.
    rotavex::SharedTables &tables();
};
