// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

class frmMain;

/// The setup dialog: a port and a name per player, and Open/Close of each player's link on
/// the main window. Made afresh for every showing; Unload() stores ports, then names.
class frmSetup : public QDialog
{
    Q_OBJECT
public:
    explicit frmSetup(frmMain &owner);
    ~frmSetup() override;

    /// Stores the port choices, then copies the names into the owner's PlayerName and stores
    /// them. Runs however the dialog was left (OK or the close box).
    void Unload();

private:
    frmMain &m_owner;
};
