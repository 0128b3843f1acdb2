// SPDX-License-Identifier: MIT
#include "link/player_links.h"
#include "link/serial_control.h"
#include "main_window/frm_main.h"
#include "main_window/led_display.h"
#include "main_window/speed_bar.h"
#include "settings/settings_store.h"
#include "setup/frm_setup.h"
#include "support/keyboard_walk.h"
#include "support/pty_pair.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>

using rotavex::PlayerSlot;

namespace
{

/// A frame of `count` 8 µs steps per revolution.
QByteArray frame(int count)
{
    return QByteArray("<") + char((count >> 8) & 0xFF) + char(count & 0xFF) + '>';
}

template <typename T> T *child(QWidget *root, const QString &name)
{
    return root->findChild<T *>(name);
}

QComboBox *cboPort(QWidget *dialog, PlayerSlot player)
{
    return child<QComboBox>(dialog, QStringLiteral("cboPort%1").arg(player));
}
QPushButton *cmdOpen(QWidget *dialog, PlayerSlot player)
{
    return child<QPushButton>(dialog, QStringLiteral("cmdOpen%1").arg(player));
}
QPushButton *cmdClose(QWidget *dialog, PlayerSlot player)
{
    return child<QPushButton>(dialog, QStringLiteral("cmdClose%1").arg(player));
}
QLineEdit *txtName(QWidget *dialog, PlayerSlot player)
{
    return child<QLineEdit>(dialog, QStringLiteral("txtName%1").arg(player));
}

QString stored(const QString &key)
{
    return settings_store::ReadSetting(QString::fromLatin1(settings_store::kApplication),
        QString::fromLatin1(settings_store::kSection), key, QStringLiteral("<absent>"));
}

void store(const QString &key, const QString &value)
{
    settings_store::WriteSetting(QString::fromLatin1(settings_store::kApplication),
        QString::fromLatin1(settings_store::kSection), key, value);
}

/// What one player's part of the dialog shows, for comparing in one go.
struct PortControls {
    bool openEnabled;
    bool closeEnabled;
    bool listEnabled;
    bool operator==(const PortControls &) const = default;
};

PortControls portControls(QWidget *dialog, PlayerSlot player)
{
    return { cmdOpen(dialog, player)->isEnabled(), cmdClose(dialog, player)->isEnabled(),
        cboPort(dialog, player)->isEnabled() };
}

constexpr PortControls kLinkOpen { false, true, false };
constexpr PortControls kLinkClosed { true, false, true };
constexpr PortControls kLinkWaiting { true, true, true }; // Close ends the wait

/// The line a player's frame shows as its tooltip, as plain text.
QString frameLine(QWidget *dialog, PlayerSlot player)
{
    static constexpr const char *kFrames[] = { "fr0", "fr1", "fr3", "fr2" };
    QTextDocument document;
    document.setHtml(child<QGroupBox>(dialog, QLatin1String(kFrames[player - 1]))->toolTip());
    // One line of text, which the tooltip wraps at blanks.
    return document.toPlainText().replace(QLatin1Char('\n'), QLatin1Char(' '));
}

/// What the failure message looked like while it was up.
struct MessageSeen {
    bool shown = false;
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::Information;
    QMessageBox::StandardButtons buttons;
    Qt::TextFormat format = Qt::AutoText;
    bool busyCursor = false;
    bool dialogEnabled = true;
    /// The widest line of the text in the box's font, and the room the box gives it.
    int widestLine = 0;
    int room = 0;
};

} // namespace

namespace QTest
{
template <> char *toString(const PortControls &c)
{
    return qstrdup(QStringLiteral("open %1, close %2, list %3")
                       .arg(c.openEnabled)
                       .arg(c.closeEnabled)
                       .arg(c.listEnabled)
                       .toLatin1()
                       .constData());
}
} // namespace QTest

class tst_frm_setup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void firstRunShowsDefaults();
    void windowAndKeyboard();
    void storedPortPreselects_data();
    void storedPortPreselects();
    void leavingSavesPortsAndNames_data();
    void leavingSavesPortsAndNames();
    void controlsFollowOpenLinks();
    void lostLinkOffersOpenAgain();
    void openAtStartIsStored_data();
    void openAtStartIsStored();
    void openConfiguresAndOpensLink();
    void openFailureIsReported_data();
    void openFailureIsReported();
    void gamesThroughSetupLinks();
    void presentPortsAreMarked();

private:
    /// Runs `act` on the next modal window of type T as soon as it is up, from a short poll
    /// in the event loop its exec() runs. Delete the returned poll to stop waiting.
    template <typename T> QPointer<QTimer> whenModal(std::function<void(T *)> act)
    {
        auto *poll = new QTimer(m_scope.get());
        connect(poll, &QTimer::timeout, m_scope.get(), [poll, act] {
            auto *modal = qobject_cast<T *>(QApplication::activeModalWidget());
            if (modal == nullptr || !modal->isVisible()) {
                return;
            }
            poll->stop();
            act(modal);
        });
        poll->start(5);
        return poll;
    }

    /// Shows the dialog as the main window does (show, unload, take the names back) and
    /// runs `act` while it is up. `act` must leave the dialog. Returns exec()'s result.
    int runSetup(const std::function<void(frmSetup *)> &act)
    {
        frmSetup dialog(*m_links, m_names, m_owner.get());
        whenModal<frmSetup>(act);
        // A failed step inside `act` must not leave the test waiting for ever.
        QTimer::singleShot(20000, m_scope.get(), [] {
            while (QWidget *modal = QApplication::activeModalWidget()) {
                modal->close();
            }
        });
        const int result = dialog.exec();
        m_names = dialog.Unload();
        return result;
    }

    /// Clicks Open of `player` and dismisses a failure message, describing it.
    MessageSeen clickOpen(frmSetup *dialog, PlayerSlot player)
    {
        MessageSeen seen;
        const QPointer<QTimer> poll = whenModal<QMessageBox>([&seen, dialog](QMessageBox *box) {
            seen.shown = true;
            seen.text = box->text();
            seen.title = box->windowTitle();
            seen.icon = box->icon();
            seen.buttons = box->standardButtons();
            seen.format = box->textFormat();
            seen.busyCursor = QApplication::overrideCursor() != nullptr
                && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            seen.dialogEnabled = dialog->isEnabled();
            if (const auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))) {
                for (const QString &line : seen.text.split(QStringLiteral("\r\n"))) {
                    seen.widestLine = std::max(
                        seen.widestLine, QFontMetrics(label->font()).horizontalAdvance(line));
                }
                seen.room = label->contentsRect().width();
            }
            // click() does nothing on a disabled button, so this also proves the box takes
            // input while the dialog behind it is greyed.
            box->button(QMessageBox::Ok)->click();
        });
        cmdOpen(dialog, player)->click();
        delete poll.data(); // no message came: a later one is not this click's
        return seen;
    }

    /// Sends each device one frame and waits until every link has delivered it.
    static bool deliver(PlayerLinks &links, const std::array<PtyPair *, 4> &devices,
        const std::array<int, 4> &counts)
    {
        rotavex::LinkSeen &linkSeen = links.linkSeen();
        for (PlayerSlot player = 1; player <= 4; ++player) {
            linkSeen[player] = -1; // a usable frame clears it again
            if (!devices[player - 1]->write(frame(counts[player - 1]))) {
                return false;
            }
        }
        return QTest::qWaitFor(
            [&linkSeen] {
                for (PlayerSlot player = 1; player <= 4; ++player) {
                    if (linkSeen[player] != 0) {
                        return false;
                    }
                }
                return true;
            },
            5000);
    }

    std::unique_ptr<PtyPair> device(int port)
    {
        auto pty = std::make_unique<PtyPair>();
        if (!pty->isValid() || !pty->exposeAs(m_runtime->portDir(), port)) {
            return nullptr;
        }
        return pty;
    }

    std::unique_ptr<TempSettings> m_settings;
    std::unique_ptr<TempRuntimeDir> m_runtime;
    std::unique_ptr<QObject> m_scope;
    // No main window: the dialog needs only links, names and a window to centre on.
    std::unique_ptr<QWidget> m_owner;
    std::unique_ptr<PlayerLinks> m_links;
    rotavex::PlayerName m_names;
};

void tst_frm_setup::init()
{
    m_settings = std::make_unique<TempSettings>();
    m_runtime = std::make_unique<TempRuntimeDir>();
    m_scope = std::make_unique<QObject>();
    m_owner = std::make_unique<QWidget>();
    m_owner->resize(665, 526);
    m_owner->show();
    m_links = std::make_unique<PlayerLinks>();
    m_names = rotavex::PlayerName(std::array<QString, 4> { QStringLiteral("PLAYER 1"),
        QStringLiteral("PLAYER 2"), QStringLiteral("PLAYER 3"), QStringLiteral("PLAYER 4") });
}

void tst_frm_setup::cleanup()
{
    m_links.reset();
    m_owner.reset();
    m_scope.reset();
    m_runtime.reset();
    m_settings.reset();
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void tst_frm_setup::firstRunShowsDefaults()
{
    QStringList entries;
    QList<int> selected;
    QStringList names;
    runSetup([&](frmSetup *dialog) {
        for (PlayerSlot player = 1; player <= 4; ++player) {
            QComboBox *list = cboPort(dialog, player);
            selected << list->currentIndex();
            names << txtName(dialog, player)->text();
            if (player == 4) {
                for (int i = 0; i < list->count(); ++i) {
                    entries << list->itemText(i);
                }
            }
        }
        dialog->reject();
    });

    QStringList expectedEntries;
    for (int port = 1; port <= 16; ++port) {
        expectedEntries << QStringLiteral("COM%1").arg(port);
    }
    QCOMPARE(entries, expectedEntries);
    QCOMPARE(selected, QList<int>({ 0, 0, 0, 0 }));
    QCOMPARE(names, QStringList({ "PLAYER 1", "PLAYER 2", "PLAYER 3", "PLAYER 4" }));
}

void tst_frm_setup::windowAndKeyboard()
{
    QString focusAtStart;
    QStringList tabOrder;
    QString walkFaults;
    QPoint dialogCentre;
    bool openedByReturn = true;
    bool stillShownAfterReturn = false;
    runSetup([&](frmSetup *dialog) {
        focusAtStart = dialog->focusWidget() ? dialog->focusWidget()->objectName() : QString();
        dialogCentre = dialog->geometry().center();
        for (QWidget *w = dialog->nextInFocusChain(); w != dialog; w = w->nextInFocusChain()) {
            if ((w->focusPolicy() & Qt::TabFocus) && w->window() == dialog) {
                tabOrder << w->objectName();
            }
        }
        // Round the chain from player 1's name, where the focus starts.
        const qsizetype first = tabOrder.indexOf(QLatin1String("txtName1"));
        tabOrder = tabOrder.mid(first) + tabOrder.mid(0, first);
        // Tab itself, over the controls enabled now, with the focus ring on each.
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        // The order is the names first, not the screen's: the walk follows the chain read above.
        QList<QWidget *> stops;
        for (const QString &name : std::as_const(tabOrder)) {
            if (auto *stop = dialog->findChild<QWidget *>(name); stop->isEnabled()) {
                stops << stop;
            }
        }
        walkFaults = test_support::KeyboardWalkFaults(dialog, stops);
        txtName(dialog, 1)->setFocus();
        // Return in a name field must not press Open or OK.
        QTest::keyClick(txtName(dialog, 1), Qt::Key_Return);
        openedByReturn = m_links->isOpen(1);
        stillShownAfterReturn = dialog->isVisible();
        QTest::keyClick(txtName(dialog, 1), Qt::Key_Escape);
    });

    QCOMPARE(focusAtStart, QStringLiteral("txtName1"));
    // Every name first, then the links; OK last.
    QCOMPARE(tabOrder,
        QStringList({ "txtName1", "txtName2", "txtName3", "txtName4", "cmdOpen1", "cboPort1",
            "cboPort2", "cboPort3", "cboPort4", "cmdClose1", "cmdOpen2", "cmdClose2", "cmdOpen3",
            "cmdClose3", "cmdOpen4", "cmdClose4", "chkOpenAtStart", "cmdClose" }));
    QVERIFY2(walkFaults.isEmpty(), qPrintable(walkFaults));
    QVERIFY(!openedByReturn);
    QVERIFY(stillShownAfterReturn);
    const QPoint ownerCentre = m_owner->geometry().center();
    QVERIFY2((dialogCentre - ownerCentre).manhattanLength() < 40,
        qPrintable(QStringLiteral("dialog centre %1,%2, owner centre %3,%4")
                       .arg(dialogCentre.x())
                       .arg(dialogCentre.y())
                       .arg(ownerCentre.x())
                       .arg(ownerCentre.y())));

    frmSetup dialog(*m_links, m_names, m_owner.get());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Setup"));
    const Qt::WindowFlags flags = dialog.windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Tool);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    if (dialog.logicalDpiX() == 96 && dialog.logicalDpiY() == 96) {
        // 15 twips to the pixel.
        QCOMPARE(dialog.minimumSize(), QSize(465, 311));
        QCOMPARE(dialog.maximumSize(), QSize(465, 311));
        QCOMPARE(child<QGroupBox>(&dialog, "fr3")->geometry(), QRect(5, 141, 226, 125));
        QCOMPARE(child<QPushButton>(&dialog, "cmdClose")->geometry(), QRect(349, 276, 108, 27));
    }
    // On the OK row, left of OK.
    const QRect check = child<QCheckBox>(&dialog, "chkOpenAtStart")->geometry();
    const QRect ok = child<QPushButton>(&dialog, "cmdClose")->geometry();
    QCOMPARE(check.top(), ok.top());
    QVERIFY(check.right() < ok.left());
    QCOMPARE(child<QCheckBox>(&dialog, "chkOpenAtStart")->text(),
        QStringLiteral("Open these links when Rotavex starts"));
    QCOMPARE(child<QGroupBox>(&dialog, "fr2")->title(), QStringLiteral("Player 4"));
    QCOMPARE(child<QGroupBox>(&dialog, "fr3")->title(), QStringLiteral("Player 3"));
    QCOMPARE(child<QLabel>(&dialog, "Label5")->parentWidget()->objectName(), QStringLiteral("fr3"));
    QCOMPARE(
        child<QLabel>(&dialog, "Label72")->parentWidget()->objectName(), QStringLiteral("fr3"));
    QCOMPARE(txtName(&dialog, 2)->maxLength(), int(settings_store::kMaxNameLength));
    QVERIFY(!cboPort(&dialog, 2)->isEditable());
}

void tst_frm_setup::storedPortPreselects_data()
{
    QTest::addColumn<QString>("storedText");
    QTest::addColumn<int>("selectedIndex");
    QTest::addColumn<QString>("storedAfterClosing");

    QTest::newRow("port 1") << "1" << 0 << "1";
    QTest::newRow("last port 16") << "16" << 15 << "16";
    QTest::newRow("17 is past the list") << "17" << -1 << "0";
    QTest::newRow("0 means no selection") << "0" << -1 << "0";
    QTest::newRow("negative number") << "-2" << -1 << "0";
    QTest::newRow("not a number") << "abc" << -1 << "0";
    QTest::newRow("beyond 16 bits") << "65537" << -1 << "0";
    QTest::newRow("empty text") << "" << -1 << "0";
}

void tst_frm_setup::storedPortPreselects()
{
    QFETCH(QString, storedText);
    QFETCH(int, selectedIndex);
    QFETCH(QString, storedAfterClosing);

    store(QStringLiteral("CommPort3"), storedText);
    QList<int> selected;
    bool openEnabled = false;
    runSetup([&](frmSetup *dialog) {
        for (PlayerSlot player = 1; player <= 4; ++player) {
            selected << cboPort(dialog, player)->currentIndex();
        }
        openEnabled = cmdOpen(dialog, 3)->isEnabled();
        dialog->accept();
    });

    QCOMPARE(selected, QList<int>({ 0, 0, selectedIndex, 0 }));
    QVERIFY(openEnabled); // a closed link can always be opened, selection or not
    QCOMPARE(stored("CommPort3"), storedAfterClosing);
    QCOMPARE(stored("CommPort1"), QStringLiteral("1"));
}

enum class Leave { OkButton, CloseBox, EscapeKey };

void tst_frm_setup::leavingSavesPortsAndNames_data()
{
    QTest::addColumn<Leave>("leave");
    QTest::addColumn<int>("result");

    QTest::newRow("OK button") << Leave::OkButton << int(QDialog::Accepted);
    QTest::newRow("close box") << Leave::CloseBox << int(QDialog::Rejected);
    QTest::newRow("Escape key") << Leave::EscapeKey << int(QDialog::Rejected);
}

void tst_frm_setup::leavingSavesPortsAndNames()
{
    QFETCH(Leave, leave);
    QFETCH(int, result);

    const int shown = runSetup([leave](frmSetup *dialog) {
        cboPort(dialog, 1)->setCurrentIndex(4);
        cboPort(dialog, 2)->setCurrentIndex(15);
        cboPort(dialog, 3)->setCurrentIndex(-1);
        txtName(dialog, 1)->end(false);
        QTest::keyClicks(txtName(dialog, 1), QStringLiteral(" & <b>Ann</b> "));
        txtName(dialog, 2)->setText(QStringLiteral("  Bo  "));
        txtName(dialog, 4)->clear();
        switch (leave) {
        case Leave::OkButton:
            QTest::mouseClick(child<QPushButton>(dialog, "cmdClose"), Qt::LeftButton);
            break;
        case Leave::CloseBox:
            dialog->close();
            break;
        case Leave::EscapeKey:
            QTest::keyClick(dialog->focusWidget(), Qt::Key_Escape);
            break;
        }
    });

    QCOMPARE(shown, result);
    QCOMPARE(stored("CommPort1"), QStringLiteral("5"));
    QCOMPARE(stored("CommPort2"), QStringLiteral("16"));
    QCOMPARE(stored("CommPort3"), QStringLiteral("0"));
    QCOMPARE(stored("CommPort4"), QStringLiteral("1"));
    // Names are kept exactly, blanks and all; a cleared name stays empty.
    const QStringList expected { "PLAYER 1 & <b>Ann</b> ", "  Bo  ", "PLAYER 3", "" };
    for (PlayerSlot player = 1; player <= 4; ++player) {
        QCOMPARE(m_names[player], expected[player - 1]);
        QCOMPARE(stored(QStringLiteral("Name%1").arg(player)), expected[player - 1]);
    }

    // The next showing loads what was saved.
    QList<int> selected;
    QString name4 = QStringLiteral("<not read>");
    runSetup([&](frmSetup *dialog) {
        for (PlayerSlot player = 1; player <= 4; ++player) {
            selected << cboPort(dialog, player)->currentIndex();
        }
        name4 = txtName(dialog, 4)->text();
        dialog->reject();
    });
    QCOMPARE(selected, QList<int>({ 4, 15, -1, 0 }));
    QCOMPARE(name4, QString());
}

void tst_frm_setup::controlsFollowOpenLinks()
{
    const auto com2 = device(2);
    const auto com4 = device(4);
    QVERIFY(com2 && com4);
    for (PlayerSlot player : { PlayerSlot(2), PlayerSlot(4) }) {
        QCOMPARE(m_links->open(player, player), std::nullopt);
    }

    QList<PortControls> atLoad;
    QList<PortControls> afterClose;
    QString line2AtLoad;
    QString line2AfterClose;
    bool namesAndOkEnabled = false;
    runSetup([&](frmSetup *dialog) {
        for (PlayerSlot player = 1; player <= 4; ++player) {
            atLoad << portControls(dialog, player);
        }
        line2AtLoad = frameLine(dialog, 2);
        cmdClose(dialog, 2)->click();
        for (PlayerSlot player = 1; player <= 4; ++player) {
            afterClose << portControls(dialog, player);
        }
        line2AfterClose = frameLine(dialog, 2);
        namesAndOkEnabled = child<QPushButton>(dialog, "cmdClose")->isEnabled();
        for (PlayerSlot player = 1; player <= 4; ++player) {
            namesAndOkEnabled = namesAndOkEnabled && txtName(dialog, player)->isEnabled();
        }
        dialog->accept();
    });

    QCOMPARE(atLoad, QList<PortControls>({ kLinkClosed, kLinkOpen, kLinkClosed, kLinkOpen }));
    QCOMPARE(afterClose, QList<PortControls>({ kLinkClosed, kLinkClosed, kLinkClosed, kLinkOpen }));
    QVERIFY2(line2AtLoad.startsWith(QStringLiteral("COM2 open since ")), qPrintable(line2AtLoad));
    QCOMPARE(line2AfterClose, QStringLiteral("COM2 closed"));
    QVERIFY(namesAndOkEnabled);
    QVERIFY(!m_links->isOpen(2));
    // The links are not the dialog's: leaving it keeps them open.
    QVERIFY(m_links->isOpen(4));
}

// A device that vanishes while the dialog is up: its player is offered Open (another port)
// and Close (stop waiting), and the frame says the link waits for the device.
void tst_frm_setup::lostLinkOffersOpenAgain()
{
    const auto com3 = device(3);
    QVERIFY(com3);
    QCOMPARE(m_links->open(3, 3), std::nullopt);

    PortControls beforeLoss {};
    PortControls afterLoss {};
    PortControls afterClose {};
    bool lossSeen = false;
    QString lostLine;
    QString closedLine;
    bool returned = false;
    QString focusAfterReturn;
    runSetup([&](frmSetup *dialog) {
        beforeLoss = portControls(dialog, 3);
        com3->vanish();
        lossSeen = QTest::qWaitFor([this] { return !m_links->isOpen(3); }, 5000);
        afterLoss = portControls(dialog, 3);
        lostLine = frameLine(dialog, 3);
        // It comes back while the user is at its port list, which greys again: the focus
        // stays with the player instead of moving on to another player's button.
        dialog->findChild<QComboBox *>(QStringLiteral("cboPort3"))->setFocus();
        const auto back = device(3);
        returned = back && QTest::qWaitFor([this] { return m_links->isOpen(3); }, 10000);
        focusAfterReturn = dialog->focusWidget() ? dialog->focusWidget()->objectName() : QString();
        cmdClose(dialog, 3)->click();
        afterClose = portControls(dialog, 3);
        closedLine = frameLine(dialog, 3);
        dialog->accept();
    });

    QCOMPARE(beforeLoss, kLinkOpen);
    QVERIFY(lossSeen);
    QCOMPARE(afterLoss, kLinkWaiting);
    QVERIFY2(lostLine.startsWith(QStringLiteral("COM3 lost at ")), qPrintable(lostLine));
    QVERIFY2(lostLine.endsWith(
                 QStringLiteral(": the device disconnected. Reconnecting when it returns.")),
        qPrintable(lostLine));
    QVERIFY(returned);
    QCOMPARE(focusAfterReturn, QStringLiteral("txtName3"));
    QCOMPARE(afterClose, kLinkClosed);
    QCOMPARE(closedLine, QStringLiteral("COM3 closed"));
    QCOMPARE(m_links->status(3).state, link_status::LinkState::Closed);
}

void tst_frm_setup::openAtStartIsStored_data()
{
    QTest::addColumn<QString>("storedBefore"); // "" = absent
    QTest::addColumn<bool>("checkedAtLoad");
    QTest::addColumn<QString>("storedAfterToggle");

    QTest::newRow("absent reads unchecked") << "" << false << "1";
    QTest::newRow("0 reads unchecked") << "0" << false << "1";
    QTest::newRow("1 reads checked") << "1" << true << "0";
    QTest::newRow("neither yes nor no reads unchecked") << "maybe" << false << "1";
}

void tst_frm_setup::openAtStartIsStored()
{
    QFETCH(QString, storedBefore);
    QFETCH(bool, checkedAtLoad);
    QFETCH(QString, storedAfterToggle);

    if (!storedBefore.isEmpty()) {
        store(QStringLiteral("OpenAtStart"), storedBefore);
    }
    bool checked = !checkedAtLoad;
    runSetup([&checked](frmSetup *dialog) {
        auto *box = child<QCheckBox>(dialog, "chkOpenAtStart");
        checked = box->isChecked();
        box->click();
        dialog->reject();
    });
    QCOMPARE(checked, checkedAtLoad);
    QCOMPARE(stored("OpenAtStart"), storedAfterToggle);
}

void tst_frm_setup::openConfiguresAndOpensLink()
{
    const auto com3 = device(3);
    QVERIFY(com3);
    SerialControl *link = m_links->control(3);
    // Whatever the link was set to before, Open writes port, line settings and threshold anew.
    link->setCommPort(9);
    QVERIFY(link->setSettings(QStringLiteral("1200,e,7,2")));
    link->setRThreshold(0);

    MessageSeen message;
    PortControls controls {};
    bool frameArrivedWhileShown = false;
    bool busyCursorLeft = true;
    bool dialogEnabled = false;
    runSetup([&](frmSetup *dialog) {
        cboPort(dialog, 3)->setCurrentIndex(2);
        message = clickOpen(dialog, 3);
        controls = portControls(dialog, 3);
        busyCursorLeft = QApplication::overrideCursor() != nullptr;
        dialogEnabled = dialog->isEnabled();
        // The link delivers while the dialog is still up.
        com3->write(frame(1000));
        frameArrivedWhileShown =
            QTest::qWaitFor([this] { return m_links->playerRpm()[3] == 7500; }, 5000);
        dialog->accept();
    });

    QVERIFY2(!message.shown, qPrintable(message.text));
    QVERIFY(link->portOpen());
    QCOMPARE(link->commPort(), qint16(3));
    QCOMPARE(link->settings(), QStringLiteral("9600,n,8,1"));
    QCOMPARE(link->rThreshold(), qint16(1));
    QCOMPARE(controls, kLinkOpen);
    QVERIFY(!busyCursorLeft);
    QVERIFY(dialogEnabled);
    QVERIFY(frameArrivedWhileShown);
}

void tst_frm_setup::openFailureIsReported_data()
{
    QTest::addColumn<PlayerSlot>("player");
    QTest::addColumn<int>("listIndex");
    QTest::addColumn<bool>("heldByPlayer1");
    QTest::addColumn<QString>("firstLine");
    QTest::addColumn<QString>("secondLine"); // %1 = the virtual port folder

    QTest::newRow("port already open for another player")
        << PlayerSlot(2) << 0 << true << "Cannot open COM1 !"
        << "COM1 is already open for player 1.";
    QTest::newRow("no device behind the port")
        << PlayerSlot(3) << 8 << false << "Cannot open COM9 !"
        << "%1/COM9";
    QTest::newRow("no port selected") << PlayerSlot(4) << -1 << false << "Cannot open COM0 !"
                                      << "No port is selected.";
}

void tst_frm_setup::openFailureIsReported()
{
    QFETCH(PlayerSlot, player);
    QFETCH(int, listIndex);
    QFETCH(bool, heldByPlayer1);
    QFETCH(QString, firstLine);
    QFETCH(QString, secondLine);

    const auto com1 = device(1);
    QVERIFY(com1);
    MessageSeen first;
    MessageSeen message;
    PortControls controls {};
    bool busyCursorLeft = true;
    bool dialogEnabled = false;
    runSetup([&](frmSetup *dialog) {
        if (heldByPlayer1) {
            first = clickOpen(dialog, 1);
        }
        cboPort(dialog, player)->setCurrentIndex(listIndex);
        message = clickOpen(dialog, player);
        controls = portControls(dialog, player);
        busyCursorLeft = QApplication::overrideCursor() != nullptr;
        dialogEnabled = dialog->isEnabled();
        dialog->accept();
    });

    QVERIFY2(!first.shown, qPrintable(first.text));
    QVERIFY(message.shown);
    QCOMPARE(message.title, QStringLiteral("Rotavex"));
    QCOMPARE(message.icon, QMessageBox::NoIcon);
    QCOMPARE(message.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(message.format, Qt::PlainText);
    // Busy while the message is up, and undone once it is dismissed.
    QVERIFY(message.busyCursor);
    QVERIFY(!message.dialogEnabled);
    QVERIFY(!busyCursorLeft);
    QVERIFY(dialogEnabled);

    QVERIFY2(message.text.startsWith(firstLine + QStringLiteral("\r\n")), qPrintable(message.text));
    const QString description = message.text.mid(firstLine.size() + 2);
    // Each line fits as it is: the box never breaks the device path ("/dev/" and "rfcomm8").
    QVERIFY(message.widestLine > 0);
    QVERIFY2(message.widestLine <= message.room,
        qPrintable(QStringLiteral("%1 > %2").arg(message.widestLine).arg(message.room)));
    if (secondLine.contains(QStringLiteral("%1"))) {
        QVERIFY2(
            description.contains(secondLine.arg(m_runtime->portDir())), qPrintable(description));
    } else {
        QCOMPARE(description, secondLine);
    }

    QCOMPARE(controls, kLinkClosed);
    QVERIFY(!m_links->isOpen(player));

    if (heldByPlayer1) {
        // The first player's link is unaffected and still delivers.
        QVERIFY(m_links->isOpen(1));
        QVERIFY(com1->write(frame(750)));
        QTRY_COMPARE(m_links->playerRpm()[1], 10000);
    }
}

// The whole path a user takes: four devices, Setup opens their links, then a Speed game and a
// Strength game run on the frames they send, and a device that vanishes loses its bold name.
void tst_frm_setup::gamesThroughSetupLinks()
{
    frmMain window;
    window.show();
    std::array<std::unique_ptr<PtyPair>, 4> owned;
    std::array<PtyPair *, 4> devices {};
    for (int port = 1; port <= 4; ++port) {
        owned[port - 1] = device(port);
        QVERIFY(owned[port - 1]);
        devices[port - 1] = owned[port - 1].get();
    }

    QList<MessageSeen> messages;
    whenModal<frmSetup>([this, &messages](frmSetup *dialog) {
        for (PlayerSlot player = 1; player <= 4; ++player) {
            cboPort(dialog, player)->setCurrentIndex(player - 1);
            txtName(dialog, player)->setText(QStringLiteral("Ann Bo Cy Di").split(' ')[player - 1]);
        }
        for (PlayerSlot player = 1; player <= 4; ++player) {
            messages << clickOpen(dialog, player);
        }
        QTest::mouseClick(child<QPushButton>(dialog, "cmdClose"), Qt::LeftButton);
    });
    child<QPushButton>(&window, "cmdSetup")->click();

    for (const MessageSeen &message : messages) {
        QVERIFY2(!message.shown, qPrintable(message.text));
    }
    const QStringList names { "Ann", "Bo", "Cy", "Di" };
    for (PlayerSlot player = 1; player <= 4; ++player) {
        QVERIFY(window.links().isOpen(player));
        QVERIFY(window.nameBold(player));
        QCOMPARE(child<QLabel>(&window, QStringLiteral("lblName%1").arg(player))->text(),
            names[player - 1]);
        QCOMPARE(stored(QStringLiteral("CommPort%1").arg(player)), QString::number(player));
    }

    auto *refresh = child<QTimer>(&window, "tmrRefresh");
    auto *countdown = child<QTimer>(&window, "tmrStrenght");
    auto *start = child<QPushButton>(&window, "CmdStart");
    // The devices send one frame per refresh, not a steady stream: the watchdog's own tick
    // could arm a link again between its frame and deliver()'s look.
    child<QTimer>(&window, "tmrTimeout")->setInterval(std::chrono::hours(1));

    // Speed game. Counts 2000, 1250, 800 and 625 are 3750, 6000, 9375 and 12000 rpm. The spike
    // filter lets a speed climb only by steps it accepts, so the faster devices spin up through
    // the same ladder, each rung held for two refreshes.
    start->click();
    refresh->stop(); // the test gives the refresh ticks itself
    const std::array<int, 4> targets { 2000, 1250, 800, 625 };
    const QList<int> ladder { 2000, 2000, 1600, 1600, 1250, 1250, 1000, 1000, 800, 800, 625, 625 };
    for (const int rung : ladder + QList<int> { 625, 625 }) {
        std::array<int, 4> counts {};
        for (std::size_t i = 0; i < counts.size(); ++i) {
            counts[i] = std::max(rung, targets[i]); // a smaller count is a faster speed
        }
        QVERIFY(deliver(window.links(), devices, counts));
        window.tmrRefresh_Timer();
    }
    const QStringList speeds { " 3750 rpm", " 6000 rpm", " 9375 rpm", " 12000 rpm" };
    const QStringList records { "3750 rpm", "6000 rpm", "9375 rpm", "12000 rpm" };
    const QList<quint32> colours { 0xFFFF80, 0x00FF00, 0x00FFFF, 0x0080FF };
    for (PlayerSlot player = 1; player <= 4; ++player) {
        const QString n = QString::number(player);
        QCOMPARE(child<QLabel>(&window, "lblRPM" + n)->text(), speeds[player - 1]);
        QCOMPARE(child<QLabel>(&window, "lblHI" + n)->text(), records[player - 1]);
        QCOMPARE(child<main_window::SpeedBar>(&window, "pbar" + n)->fillColourBgr(),
            colours[player - 1]);
    }
    QCOMPARE(child<main_window::LedDisplay>(&window, "CurSpeed")->number(), 12000.0);

    // Strength game at steady 1000, 2000, 3000 and 4000 rpm: the first refresh after the start
    // sees an empty filter window, the next six add a tenth of each speed in all.
    start->click();
    QVERIFY(!start->isChecked());
    child<QRadioButton>(&window, "OptMode1")->click();
    start->click();
    refresh->stop();
    countdown->stop();
    for (int tick = 0; tick < 7; ++tick) {
        QVERIFY(deliver(window.links(), devices, { 7500, 3750, 2500, 1875 }));
        window.tmrRefresh_Timer();
    }
    const QStringList totals { "100 rev", "200 rev", "300 rev", "400 rev" };
    const QStringList best { "1000 rpm max", "2000 rpm max", "3000 rpm max", "4000 rpm max" };
    for (PlayerSlot player = 1; player <= 4; ++player) {
        const QString n = QString::number(player);
        QCOMPARE(child<QLabel>(&window, "lblRPM" + n)->text(), totals[player - 1]);
        QCOMPARE(child<QLabel>(&window, "lblHI" + n)->text(), best[player - 1]);
    }

    // Player 3's device goes away: its name drops to normal weight, the others stay bold.
    // It comes back and the link reopens by itself, without Setup.
    devices[2]->vanish();
    QTRY_VERIFY(!window.nameBold(3));
    QVERIFY(!window.links().isOpen(3));
    for (PlayerSlot player : { PlayerSlot(1), PlayerSlot(2), PlayerSlot(4) }) {
        QVERIFY(window.nameBold(player));
    }
    owned[2] = device(3);
    QVERIFY(owned[2]);
    devices[2] = owned[2].get();
    QTRY_VERIFY(window.nameBold(3));
    QVERIFY(deliver(window.links(), devices, { 7500, 3750, 2500, 1875 }));
}

// Which ports have a device behind them shows beside the captions, and follows devices that
// come and go while the dialog is up.
void tst_frm_setup::presentPortsAreMarked()
{
    const auto com2 = device(2);
    QVERIFY(com2);
    std::unique_ptr<PtyPair> com5;
    const auto marked = [](const QComboBox *list) {
        QList<int> ports;
        for (int i = 0; i < list->count(); ++i) {
            // A mark is a picture with something drawn in it; the others are blank.
            const QImage picture = list->itemIcon(i).pixmap(list->iconSize()).toImage();
            bool drawn = false;
            for (int y = 0; y < picture.height() && !drawn; ++y) {
                for (int x = 0; x < picture.width() && !drawn; ++x) {
                    drawn = picture.pixelColor(x, y).alpha() > 0;
                }
            }
            if (drawn) {
                ports << i + 1;
            }
        }
        return ports;
    };
    QList<int> atLoad;
    bool followed = false;
    QStringList captions;
    runSetup([&](frmSetup *dialog) {
        atLoad = marked(cboPort(dialog, 3));
        com5 = device(5);
        followed = QTest::qWaitFor(
            [&] {
                return marked(cboPort(dialog, 1)) == QList<int> { 2, 5 }
                && marked(cboPort(dialog, 4)) == QList<int> { 2, 5 };
            },
            10000);
        for (int i = 0; i < cboPort(dialog, 2)->count(); ++i) {
            captions << cboPort(dialog, 2)->itemText(i);
        }
        dialog->accept();
    });
    QCOMPARE(atLoad, QList<int> { 2 });
    QVERIFY(followed);
    QStringList expected;
    for (int port = 1; port <= 16; ++port) {
        expected << QStringLiteral("COM%1").arg(port);
    }
    QCOMPARE(captions, expected);
}

QTEST_MAIN(tst_frm_setup)
#include "tst_frm_setup.moc"
