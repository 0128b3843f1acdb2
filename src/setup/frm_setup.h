// SPDX-License-Identifier: MIT
#pragma once

#include "shared/player_tables.h"

#include <QAnyStringView>
#include <QDialog>
#include <QRect>
#include <QString>
#include <QStringList>

class PlayerLinks;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

/// The setup dialog: a port and a name per player, Open/Close of each player's link, and
/// whether the links open at start-up. Made afresh for every showing over the owner's links
/// and names; OK accepts, the close box and Escape reject; either way the owner calls Unload().
class frmSetup : public QDialog
{
    Q_OBJECT
public:
    /// `parent` centres the dialog; the links and the names belong to the caller.
    frmSetup(PlayerLinks &links, const rotavex::PlayerName &names, QWidget *parent = nullptr);
    ~frmSetup() override;

    /// Stores the port choices, then the names as edited, then the start-up choice, and
    /// returns the edited names. Runs however the dialog was left (OK or the close box).
    rotavex::PlayerName Unload();
    /// What the last Unload() has to tell the user about the settings file, in plain text: a
    /// damaged file it kept a copy of, and that the values did not reach the file. Empty when
    /// all went well.
    QStringList storeMessages() const { return m_storeMessages; }

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
    /// Buttons and lists follow each link's state; each frame's tooltip states its link.
    void RefreshPortControls();
    void OpenAction(rotavex::PlayerSlot player);
    /// Starts opening a Bluetooth device: the dialog stays greyed (the board keeps running)
    /// until the connection stands or fails, then OpenDeviceFinished() follows.
    void OpenDeviceAction(rotavex::PlayerSlot player, const QString &address, const QString &name);
    /// Says why the open failed (`failure` empty: it did not) and ends the greyed wait.
    void OpenDeviceFinished(rotavex::PlayerSlot player, const QString &address, const QString &name,
        const QString &failure);
    /// The lists follow the paired devices while the dialog is up.
    void RefreshDeviceEntries();
    void CloseAction(rotavex::PlayerSlot player);
    void cmdClose_Click();
    void BeginBusy();
    void EndBusy();
    void ShowOpenFailure(int port, const QString &description);
    void ShowOpenFailure(const QString &linkName, const QString &description);
    /// Marks the COM entries whose device exists now with a green dot beside the unchanged
    /// caption; other entries of the lists are left alone. Runs at load and once a second.
    void markPresentPorts();
    /// A design rectangle in twips as pixels at this dialog's logical DPI.
    // The pixels of a control listed in the dialog's design inventory.
    QRect designPixels(QAnyStringView objectName) const;

    PlayerLinks &m_links;
    QStringList m_storeMessages;
    rotavex::PlayerName m_names; // as the dialog was given them; shown at load
    rotavex::PerPlayer<qint16> m_storedPort; // as loaded
    rotavex::PerPlayer<QString> m_storedDevice; // as loaded; empty: the port
    rotavex::PerPlayer<PlayerControls> m_players;
    QCheckBox *chkOpenAtStart = nullptr;
    QPushButton *cmdClose = nullptr; ///< the OK button
    QTimer *m_portWatch = nullptr;
};
