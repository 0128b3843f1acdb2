// SPDX-License-Identifier: MIT
#include "display/forwarding_board.h"
#include "display/scoreboard.h"
#include "measurement/speed_mode.h"
#include "setup/settings_store.h"
#include "support/pty_pair.h"
#include "support/recording_board.h"

#include <QTest>

#include <algorithm>
#include <cmath>

using rotavex::PerPlayer;
using rotavex::PlayerSlot;
using scoreboard::PlayMode;

Q_DECLARE_METATYPE(PlayMode)

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
    void splitCaption_data();
    void splitCaption();
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
    void forwardingBoardWritesBothReadsMain();
};

void tst_Scoreboard::splitCaption_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<qint64>("whole");

    QTest::newRow("speed label with its leading blank") << " 7500 rpm"
                                                        << "7500"
                                                        << "rpm" << 7500LL;
    QTest::newRow("grouped revolutions") << "12,345 rev"
                                         << "12,345"
                                         << "rev" << 12345LL;
    QTest::newRow("no revolutions yet") << " rev"
                                        << "0"
                                        << "rev" << 0LL;
    QTest::newRow("blank-grouped locale") << "1\u00a0234 rev"
                                          << "1\u00a0234"
                                          << "rev" << 1234LL;
    QTest::newRow("Arabic-Indic digits") << "\u0661\u0662\u0663 rev"
                                         << "\u0661\u0662\u0663"
                                         << "rev" << 123LL;
    QTest::newRow("record tag") << "16000"
                                << "16000"
                                << "" << 16000LL;
}

void tst_Scoreboard::splitCaption()
{
    QFETCH(QString, caption);
    const scoreboard::CaptionParts parts = scoreboard::SplitCaption(caption);
    QTEST(parts.number, "number");
    QTEST(parts.unit, "unit");
    QTEST(scoreboard::WholeNumber(parts.number), "whole");
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
    PerPlayer<scoreboard::RankEntry> results;
    for (PlayerSlot p = 1; p <= 4; ++p) {
        results[p].revolutions = revs[p];
        results[p].meanRpm = 1000 * p;
        results[p].bestRpm = 2000 * p;
    }
    const scoreboard::Ranking ranking = scoreboard::RankByRevolutions(results);
    QStringList players;
    QStringList ranks;
    for (const scoreboard::RankEntry &entry : ranking) {
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
                                                             << "1,000 5 1,000 999"
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
    const QStringList tags = records.split(QLatin1Char(' '));
    const QStringList revs = revolutions.split(QLatin1Char(' '));
    for (PlayerSlot p = 1; p <= 4; ++p) {
        shown.players[p].recordTag = tags[p - 1];
        shown.players[p].liveCaption = revs[p - 1] + QStringLiteral(" rev");
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
        shown.players[p].recordTag = QString::number(p * 1000);
        shown.players[p].liveCaption = QStringLiteral("%1 rev").arg(p * 10);
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

void tst_Scoreboard::forwardingBoardWritesBothReadsMain()
{
    RecordingBoard main;
    RecordingBoard display;
    display::ForwardingBoard board(main);
    speed_mode::MeasurementState state;
    rotavex::PlayerName names;
    names.fill(QStringLiteral("X"));
    rotavex::PlayerRpm rpm;
    board.setSecondary(&display);
    for (int tick = 0; tick < 5; ++tick) {
        rpm = PerPlayer<qint32>({ 5000, 7000, 0, 16000 });
        speed_mode::UpdateSpeedMode(state, rpm, names, board, false);
    }
    QVERIFY(!main.log().isEmpty());
    QCOMPARE(display.log(), main.log());

    // Records are read from the main board only: a display that lost its tags changes nothing.
    display.setRecordTag(2, QStringLiteral("99999"));
    QCOMPARE(board.recordTag(2), QStringLiteral("7000"));
    board.setSecondary(nullptr);
    main.clearLog();
    display.clearLog();
    rpm = PerPlayer<qint32>({ 5000, 7000, 0, 16000 });
    speed_mode::UpdateSpeedMode(state, rpm, names, board, false);
    QVERIFY(!main.log().isEmpty());
    QVERIFY(display.log().isEmpty());
}

QTEST_GUILESS_MAIN(tst_Scoreboard)
#include "tst_scoreboard.moc"
