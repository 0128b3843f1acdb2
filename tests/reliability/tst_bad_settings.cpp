// SPDX-License-Identifier: MIT
// Hostile values in the settings store: the main window starts and paints, names show exactly
// as stored (never as markup), the setup dialog loads them, and its save writes every name
// back unchanged. A stored port that names no list entry loads as "no selection" and is
// saved back as "0", as the dialog does for any empty selection.
#include "display/frm_display.h"
#include "main_window/frm_main.h"
#include "main_window/player_chart.h"
#include "settings/settings_store.h"
#include "setup/frm_setup.h"
#include "support/pty_pair.h"
#include "widgets/tag_label.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>

#include <memory>

using rotavex::kFirstPlayer;
using rotavex::kLastPlayer;
using rotavex::PlayerSlot;

namespace
{

QSettings store()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Rotavex"),
        QStringLiteral("Rotavex"));
}

// Player N gets the row's name with N appended, so no two players' values can be mixed up.
QString nameOf(const QString &name, PlayerSlot player)
{
    return name.isEmpty() ? name : name + QString::number(player);
}

// What the program holds of a stored name: no more than the setup dialog's field takes.
QString loadedName(const QString &name, PlayerSlot player)
{
    return nameOf(name, player).left(settings_store::kMaxNameLength);
}

} // namespace

class tst_BadSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void hostileStoredValues_data();
    void hostileStoredValues();
};

void tst_BadSettings::hostileStoredValues_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("selectedIndex");
    QTest::addColumn<QString>("portSaved");

    const QString plain = QStringLiteral("Ann");
    QTest::newRow("port not a number") << plain << QStringLiteral("abc") << -1 << "0";
    QTest::newRow("port beyond 64 bits")
        << plain << QStringLiteral("99999999999999999999999") << -1 << "0";
    QTest::newRow("port beyond 16 bits") << plain << QStringLiteral("65537") << -1 << "0";
    QTest::newRow("port past the list") << plain << QStringLiteral("17") << -1 << "0";
    QTest::newRow("negative port") << plain << QStringLiteral("-3") << -1 << "0";
    QTest::newRow("port in hex") << plain << QStringLiteral("0x10") << -1 << "0";
    QTest::newRow("port with a fraction") << plain << QStringLiteral("3.5") << -1 << "0";
    QTest::newRow("empty port") << plain << QString("") << -1 << "0";
    QTest::newRow("last port kept") << plain << QStringLiteral("16") << 15 << "16";
    QTest::newRow("100000-character name")
        << QString(100'000, u'W') << QStringLiteral("2") << 1 << "2";
    QTest::newRow("a million-character name")
        << QString(1'000'000, u'M') << QStringLiteral("2") << 1 << "2";
    QTest::newRow("markup name") << QStringLiteral("<b>Bold</b> &amp; <i>co</i><img src=x>")
                                 << QStringLiteral("1") << 0 << "1";
    QTest::newRow("control characters in name")
        << QStringLiteral("A\tB\x01\x1b[31mC\x7f") << QStringLiteral("1") << 0 << "1";
    QTest::newRow("right-to-left name")
        << QStringLiteral("\u05E9\u05DC\u05D5\u05DD \u0645\u0631\u062D\u0628\u0627 \u202Eevil")
        << QStringLiteral("3") << 2 << "3";
    QTest::newRow("characters beyond the basic plane")
        << QStringLiteral("\U0001F680 \U0001D11E") << QStringLiteral("4") << 3 << "4";
    QTest::newRow("blanks only name") << QStringLiteral("   ") << QStringLiteral("1") << 0 << "1";
    QTest::newRow("empty name") << QString("") << QStringLiteral("1") << 0 << "1";
    QTest::newRow("settings file syntax in name")
        << QStringLiteral("[General]\\\"=;x") << QStringLiteral("1") << 0 << "1";
}

void tst_BadSettings::hostileStoredValues()
{
    QFETCH(QString, name);
    QFETCH(QString, port);
    QFETCH(int, selectedIndex);
    QFETCH(QString, portSaved);

    TempSettings settings;
    TempRuntimeDir runtime;
    {
        QSettings raw = store();
        raw.beginGroup(QStringLiteral("Properties"));
        for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
            raw.setValue(QStringLiteral("Name%1").arg(p), nameOf(name, p));
            raw.setValue(QStringLiteral("CommPort%1").arg(p), port);
        }
    }

    frmMain window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.repaint();
    const auto *chart = window.findChild<main_window::PlayerChart *>(QStringLiteral("MSChart1"));
    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        const auto *label =
            window.findChild<widgets::TagLabel *>(QStringLiteral("lblName%1").arg(p));
        QCOMPARE(label->textFormat(), Qt::PlainText);
        QCOMPARE(window.playerName()[p], loadedName(name, p));
        QCOMPARE(label->text(), loadedName(name, p));
        QCOMPARE(chart->columnLabel(p), loadedName(name, p));
        // Eliding measures prefix after prefix: the legend must only ever measure what it can
        // show, or a long name stalls the program for seconds.
        QVERIFY(chart->legendName(p).size() <= 2000);
    }
    // The spectators' display draws the names too, every second while it is open.
    window.findChild<QPushButton *>(QStringLiteral("CmdDisplay"))->click();
    QVERIFY(window.display());
    QVERIFY(QTest::qWaitForWindowExposed(window.display()));
    window.display()->repaint();
    window.findChild<QPushButton *>(QStringLiteral("CmdDisplay"))->click();

    rotavex::PlayerName names;
    {
        frmSetup dialog(window.links(), window.playerName(), &window);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
            QCOMPARE(dialog.findChild<QLineEdit *>(QStringLiteral("txtName%1").arg(p))->text(),
                loadedName(name, p));
            QCOMPARE(
                dialog.findChild<QComboBox *>(QStringLiteral("cboPort%1").arg(p))->currentIndex(),
                selectedIndex);
        }
        dialog.accept();
        names = dialog.Unload();
    }

    QSettings raw = store();
    raw.beginGroup(QStringLiteral("Properties"));
    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        QCOMPARE(raw.value(QStringLiteral("Name%1").arg(p)).toString(), loadedName(name, p));
        QCOMPARE(raw.value(QStringLiteral("CommPort%1").arg(p)).toString(), portSaved);
        QCOMPARE(names[p], loadedName(name, p));
    }
}

QTEST_MAIN(tst_BadSettings)
#include "tst_bad_settings.moc"
