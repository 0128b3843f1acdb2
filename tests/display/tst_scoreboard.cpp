// SPDX-License-Identifier: MIT
#include "display/scoreboard.h"
#include "settings/settings_store.h"
#include "support/pty_pair.h"

#include <QTest>

#include <algorithm>
#include <cmath>

using rotavex::PerPlayer;
using rotavex::PlayerSlot;
using scoreboard::PlayMode;

Q_DECLARE_METATYPE(PlayMode)

class tst_Scoreboard : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void contrastRatio_data();
    void contrastRatio();
    void everyTextStandsOut_data();
    void everyTextStandsOut();
    void screenChoice_data();
    void screenChoice();
    void placementSurvivesRestart();
};

void tst_Scoreboard::contrastRatio_data()
{
    QTest::addColumn<quint32>("first");
    QTest::addColumn<quint32>("second");
    QTest::addColumn<double>("ratio");

    QTest::newRow("black on white") << 0x000000u << 0xFFFFFFu << 21.0;
    QTest::newRow("same colour") << 0x3366CCu << 0x3366CCu << 1.0;
    // Red in the low byte: pure red and pure blue differ, so swapped bytes would show.
    QTest::newRow("red on black") << 0x0000FFu << 0x000000u << 5.25;
    QTest::newRow("blue on black") << 0xFF0000u << 0x000000u << 2.44;
}

void tst_Scoreboard::contrastRatio()
{
    QFETCH(quint32, first);
    QFETCH(quint32, second);
    QFETCH(double, ratio);
    QVERIFY2(std::abs(scoreboard::ContrastRatio(first, second) - ratio) < 0.01,
        qPrintable(QString::number(scoreboard::ContrastRatio(first, second))));
}

void tst_Scoreboard::everyTextStandsOut_data()
{
    QTest::addColumn<PlayMode>("mode");
    QTest::addColumn<bool>("ranked");

    QTest::newRow("before a game") << PlayMode::Unset << false;
    QTest::newRow("speed game with a leader") << PlayMode::Speed << false;
    QTest::newRow("strength game with a leader") << PlayMode::Strength << false;
    QTest::newRow("strength result") << PlayMode::Strength << true;
}

void tst_Scoreboard::everyTextStandsOut()
{
    QFETCH(PlayMode, mode);
    QFETCH(bool, ranked);
    game::Snapshot snapshot;
    snapshot.mode = mode;
    snapshot.reading = game::Reading::Strength;
    snapshot.ranOut = ranked;
    for (PlayerSlot p = 1; p <= 4; ++p) {
        snapshot.players[p].name = QStringLiteral("P%1").arg(p);
        snapshot.players[p].record = p * 1000;
        snapshot.players[p].revolutions = p * 10;
        snapshot.players[p].participating = true;
    }
    const scoreboard::Scene scene =
        scoreboard::BuildScene(evening::StateFrom(snapshot), QSize(1920, 1080));
    QVERIFY(!scene.texts.empty());
    QCOMPARE(scene.leaderMarks.empty(), mode == PlayMode::Unset || ranked);
    for (const scoreboard::TextItem &item : scene.texts) {
        const bool onItsPanel = item.background == scene.background
            || std::any_of(scene.panels.cbegin(), scene.panels.cend(), [&](const auto &panel) {
                   return panel.colour == item.background && panel.area.contains(item.area);
               });
        QVERIFY2(onItsPanel, qPrintable(item.id));
        QVERIFY2(
            scoreboard::ContrastRatio(item.colour, item.background) >= 7.0, qPrintable(item.id));
    }
}

void tst_Scoreboard::screenChoice_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("screens");
    QTest::addColumn<int>("mainScreen");
    QTest::addColumn<int>("expected");
    QTest::addColumn<bool>("fullScreenAllowed");

    QTest::newRow("stored screen still there") << 2 << 3 << 0 << 2 << true;
    QTest::newRow("nothing stored: the screen beside the main window") << -1 << 2 << 0 << 1 << true;
    QTest::newRow("stored screen unplugged") << 1 << 1 << 0 << 0 << false;
    QTest::newRow("one screen: an ordinary window") << -1 << 1 << 0 << 0 << false;
}

void tst_Scoreboard::screenChoice()
{
    QFETCH(int, stored);
    QFETCH(int, screens);
    QFETCH(int, mainScreen);
    QTEST(scoreboard::ChooseScreen(stored, screens, mainScreen), "expected");
    QTEST(scoreboard::OpenFullScreen(true, screens), "fullScreenAllowed");
    QVERIFY(!scoreboard::OpenFullScreen(false, screens));
}

void tst_Scoreboard::placementSurvivesRestart()
{
    const TempSettings settings;
    QCOMPARE(scoreboard::ReadPlacement(), (scoreboard::Placement { -1, false }));
    scoreboard::WritePlacement({ 1, true });
    QCOMPARE(scoreboard::ReadPlacement(), (scoreboard::Placement { 1, true }));
    settings_store::WriteSetting(QStringLiteral("Rotavex"), QStringLiteral("Properties"),
        QStringLiteral("DisplayScreen"), QStringLiteral("second"));
    QCOMPARE(scoreboard::ReadPlacement().screen, -1);
}

QTEST_GUILESS_MAIN(tst_Scoreboard)
#include "tst_scoreboard.moc"
