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
Q_DECLARE_METATYPE(game::Reading)

namespace
{

// "0 1 3 4" -> four whole numbers, one per player.
PerPlayer<qint64> numbers(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(' '));
    PerPlayer<qint64> values;
    for (PlayerSlot p = 1; p <= 4; ++p) {
        values[p] = parts.value(p - 1).toLongLong();
    }
    return values;
}

QString leaderText(const PerPlayer<bool> &leaders)
{
    QString text;
    for (PlayerSlot p = 1; p <= 4; ++p) {
        text += leaders[p] ? QLatin1Char('L') : QLatin1Char('-');
    }
    return text;
}

} // namespace

class tst_Scoreboard : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void shownFromSnapshot_data();
    void shownFromSnapshot();
    void resultRanksParticipantsOnly_data();
    void resultRanksParticipantsOnly();
    void ranking_data();
    void ranking();
    void leaders_data();
    void leaders();
    void contrastRatio_data();
    void contrastRatio();
    void everyTextStandsOut_data();
    void everyTextStandsOut();
    void screenChoice_data();
    void screenChoice();
    void placementSurvivesRestart();
};

void tst_Scoreboard::shownFromSnapshot_data()
{
    QTest::addColumn<game::Reading>("reading");
    QTest::addColumn<qint64>("live");
    QTest::addColumn<bool>("revolutions");

    QTest::newRow("at rest: no speed") << game::Reading::Rest << qint64(0) << false;
    QTest::newRow("speed: the live rpm") << game::Reading::Speed << qint64(7500) << false;
    QTest::newRow("strength starts at zero revolutions")
        << game::Reading::StrengthRest << qint64(0) << true;
    QTest::newRow("strength: whole revolutions, rounded")
        << game::Reading::Strength << qint64(1235) << true;
}

// The display shows the board's numbers: the same live value, record, bar and colour.
void tst_Scoreboard::shownFromSnapshot()
{
    QFETCH(game::Reading, reading);
    game::Snapshot snapshot;
    snapshot.mode = reading == game::Reading::Speed ? PlayMode::Speed : PlayMode::Strength;
    snapshot.reading = reading;
    snapshot.topRpm = 9000;
    snapshot.players[2].name = QStringLiteral("Ben");
    snapshot.players[2].rpm = 7500;
    snapshot.players[2].revolutions = 1234.6;
    snapshot.players[2].record = 9000;
    snapshot.players[2].bar = 6100.0;
    snapshot.players[2].barColour = 0x00FF00;

    const scoreboard::Shown shown = scoreboard::ShownFrom(snapshot);

    const scoreboard::PlayerShown &ben = shown.players[2];
    QCOMPARE(ben.name, QStringLiteral("Ben"));
    QTEST(ben.live, "live");
    QTEST(ben.revolutions, "revolutions");
    QCOMPARE(ben.record, 9000);
    QCOMPARE(ben.barValue, 6100.0);
    QCOMPARE(ben.barColour, 0x00FF00u);
    QCOMPARE(shown.topRpm, 9000);
    // Before the first record and the first colour: 0 and the resting grey.
    QCOMPARE(shown.players[1].record, 0);
    QCOMPARE(shown.players[1].barColour, 0xE0E0E0u);
    QVERIFY(!shown.ranking);
}

void tst_Scoreboard::resultRanksParticipantsOnly_data()
{
    QTest::addColumn<QString>("participating"); // "1" a player took part
    QTest::addColumn<QString>("players"); // in ranked order
    QTest::addColumn<QString>("ranks");

    QTest::newRow("all four played") << "1 1 1 1"
                                     << "2 1 3 4"
                                     << "1 2 3 3";
    QTest::newRow("players 3 and 4 closed: two places") << "1 1 0 0"
                                                        << "2 1"
                                                        << "1 2";
    QTest::newRow("one player") << "0 0 0 1"
                                << "4"
                                << "1";
    QTest::newRow("nobody played: no places") << "0 0 0 0"
                                              << ""
                                              << "";
}

// The Result lists the same players the recorded game does.
void tst_Scoreboard::resultRanksParticipantsOnly()
{
    QFETCH(QString, participating);
    game::Snapshot snapshot;
    snapshot.mode = PlayMode::Strength;
    snapshot.reading = game::Reading::Strength;
    snapshot.ranOut = true;
    const PerPlayer<qint64> took = numbers(participating);
    const std::array<double, 4> revolutions { 500.0, 900.0, 0.0, 0.0 };
    for (PlayerSlot p = 1; p <= 4; ++p) {
        snapshot.players[p].participating = took[p] == 1;
        snapshot.players[p].revolutions = revolutions[p - 1];
        snapshot.players[p].record = 1000 * p;
        snapshot.players[p].bar = 100.0 * p;
    }

    const scoreboard::Shown shown = scoreboard::ShownFrom(snapshot);

    QVERIFY(shown.ranking);
    QStringList players;
    QStringList ranks;
    for (const scoreboard::Place &entry : *shown.ranking) {
        players << QString::number(entry.player);
        ranks << QString::number(entry.rank);
        QCOMPARE(entry.bestRpm, 1000 * entry.player);
        QCOMPARE(entry.meanRpm, 100 * entry.player);
    }
    QTEST(players.join(QLatin1Char(' ')), "players");
    QTEST(ranks.join(QLatin1Char(' ')), "ranks");
}

void tst_Scoreboard::ranking_data()
{
    QTest::addColumn<QString>("revolutions");
    QTest::addColumn<QString>("players"); // in ranked order
    QTest::addColumn<QString>("ranks");

    QTest::newRow("all different") << "100 400 300 200"
                                   << "2 3 4 1"
                                   << "1 2 3 4";
    QTest::newRow("two share first, next is third") << "500 500 100 300"
                                                    << "1 2 4 3"
                                                    << "1 1 3 4";
    QTest::newRow("tie in the middle") << "900 200 200 50"
                                       << "1 2 3 4"
                                       << "1 2 2 4";
    QTest::newRow("three share last") << "10 70 10 10"
                                      << "2 1 3 4"
                                      << "1 2 2 2";
}

void tst_Scoreboard::ranking()
{
    QFETCH(QString, revolutions);
    const PerPlayer<qint64> revs = numbers(revolutions);
    scoreboard::Ranking results(4);
    for (PlayerSlot p = 1; p <= 4; ++p) {
        scoreboard::Place &entry = results[std::size_t(p - 1)];
        entry.player = p;
        entry.revolutions = revs[p];
        entry.meanRpm = 1000 * p;
        entry.bestRpm = 2000 * p;
    }
    const scoreboard::Ranking ranking = scoreboard::RankByRevolutions(results);
    QStringList players;
    QStringList ranks;
    for (const scoreboard::Place &entry : ranking) {
        players << QString::number(entry.player);
        ranks << QString::number(entry.rank);
        // Mean and best travel with their player.
        QCOMPARE(entry.meanRpm, 1000 * entry.player);
        QCOMPARE(entry.bestRpm, 2000 * entry.player);
    }
    QTEST(players.join(QLatin1Char(' ')), "players");
    QTEST(ranks.join(QLatin1Char(' ')), "ranks");
}

void tst_Scoreboard::leaders_data()
{
    QTest::addColumn<PlayMode>("mode");
    QTest::addColumn<QString>("records");
    QTest::addColumn<QString>("revolutions");
    QTest::addColumn<QString>("expected");

    QTest::newRow("speed: best record leads") << PlayMode::Speed << "5000 9000 7000 0"
                                              << "900 10 10 10"
                                              << "-L--";
    QTest::newRow("speed: equal records share the lead") << PlayMode::Speed << "9000 9000 0 100"
                                                         << "0 0 0 0"
                                                         << "LL--";
    QTest::newRow("strength: most revolutions lead") << PlayMode::Strength << "20000 1000 0 0"
                                                     << "1 2 3 400"
                                                     << "---L";
    QTest::newRow("strength: equal shown revolutions share") << PlayMode::Strength << "0 0 0 0"
                                                             << "1000 5 1000 999"
                                                             << "L-L-";
    QTest::newRow("before the first game nobody leads") << PlayMode::Unset << "9000 0 0 0"
                                                        << "90 0 0 0"
                                                        << "----";
}

void tst_Scoreboard::leaders()
{
    QFETCH(PlayMode, mode);
    QFETCH(QString, records);
    QFETCH(QString, revolutions);
    scoreboard::Shown shown;
    shown.mode = mode;
    const PerPlayer<qint64> tags = numbers(records);
    const PerPlayer<qint64> revs = numbers(revolutions);
    for (PlayerSlot p = 1; p <= 4; ++p) {
        shown.players[p].record = qint32(tags[p]);
        shown.players[p].live = revs[p];
        shown.players[p].revolutions = mode == PlayMode::Strength;
    }
    QTEST(leaderText(scoreboard::LeadersShown(shown)), "expected");
}

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
    scoreboard::Shown shown;
    shown.mode = mode;
    for (PlayerSlot p = 1; p <= 4; ++p) {
        shown.players[p].name = QStringLiteral("P%1").arg(p);
        shown.players[p].record = p * 1000;
        shown.players[p].live = p * 10;
        shown.players[p].revolutions = true;
        shown.players[p].participating = true;
    }
    if (ranked) {
        shown.ranking = scoreboard::RankShown(shown);
    }
    const scoreboard::Scene scene = scoreboard::BuildScene(shown, QSize(1920, 1080));
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
