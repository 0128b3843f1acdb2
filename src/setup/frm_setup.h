// SPDX-License-Identifier: MIT
#pragma once

#include "shared/player_tables.h"

#include <QDialog>
#include <QRect>
#include <QString>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class frmMain;

/// The setup dialog: a port and a name per player, and Open/Close of each player's link on
/// the main window. Made afresh for every showing; Unload() stores ports, then names.
/// OK accepts, the close box and Escape reject; either way the owner calls Unload().
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
    /// One player's controls, all inside that player's frame. The player's number is in
    /// each objectName (cboPort2, cmdOpen2, cmdClose2, txtName2); the frame and Label7 carry
    /// their own array indices.
    struct PlayerControls {
        QGroupBox *fr = nullptr;
        QLabel *Label7 = nullptr;
        QComboBox *cboPort = nullptr;
        QPushButton *cmdOpen = nullptr;
        QPushButton *cmdClose = nullptr;
        QLabel *nameLabel = nullptr; ///< Label1, Label4, Label5 or Label6
        QLineEdit *txtName = nullptr;
        bool operator==(const PlayerControls &) const = default; // PerPlayer compares its items
    };

    void buildControls();
    void buildTabOrder();
    void Form_Load();
    /// Buttons, lists and the owner's bold names follow each link's open state.
    void RefreshPortControls();
    void OpenAction(rotavex::PlayerSlot player);
    void CloseAction(rotavex::PlayerSlot player);
    void cmdClose_Click();
    void BeginBusy();
    void EndBusy();
    void ShowOpenFailure(int port, const QString &description);
    /// A design rectangle in twips as pixels at this dialog's logical DPI.
    QRect pixelRect(int left, int top, int width, int height) const;

    frmMain &m_owner;
    rotavex::PerPlayer<PlayerControls> m_players;
    QPushButton *cmdClose = nullptr; ///< the OK button
};
