// SPDX-License-Identifier: MIT
#include "evening/scoreboard_state.h"
#include "game/game_session.h"
#include "main_window/board_text.h"

#include <QLocale>
#include <QSignalSpy>
#include <QTest>

#include <array>

using game::GameSession;
using game::PlayMode;
using game::Reading;
using results::GameRecord;
using rotavex::PlayerSlot;

namespace
{

// A session with the links' samples in hand and every record it sends kept.
struct Game {
    GameSession session;
    port_events::LatestSamples latest;
    QList<GameRecord> records;
    QList<GameRecord> progress; ///< the running game after each accepted tick

    Game()
    {
        QObject::connect(&session, &GameSession::ended,
            [this](const GameRecord &record) { records.append(record); });
        QObject::connect(&session, &GameSession::progressed,
            [this](const GameRecord &running) { progress.append(running); });
        session.setPlayerNames(
            rotavex::PlayerName(std::array<QString, 4> { "Ann", "Ben", "Chloé", "Dmitri" }));
    }

    // Every player's device sends a fresh sample, as its link stores it.
    void feed(const std::array<qint32, 4> &rpm)
    {
        for (PlayerSlot p = 1; p <= 4; ++p) {
            latest.rpm[p] = rpm[std::size_t(p - 1)];
            ++latest.stored[p];
        }
    }

    // One second of a Strength game: the countdown fires first, then the refresh.
    void strengthSecond(const std::array<qint32, 4> &rpm)
    {
        feed(rpm);
        if (!session.countdownTick(latest)) {
            session.refreshTick(latest);
        }
    }

    const game::Snapshot &shown() const { return session.snapshot(); }
    QString speedCaption(PlayerSlot p) const { return board_text::SpeedCaption(shown(), p); }
};

QList<int> playersOf(const GameRecord &record)
{
    QList<int> players;
    for (const results::PlayerResult &player : record.players) {
        players.append(player.player);
    }
    return players;
}

} // namespace

class tst_GameSession : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void speedGame();
    void strengthGameOf30Seconds();
    void stopAndStartAgain_data();
    void stopAndStartAgain();
    void clearMidGame();
    void participants_data();
    void participants();
    void staleSamplesGoThroughTheFilterAgain();
    void seats_data();
    void seats();
};

void tst_GameSession::initTestCase()
{
    // Revolution totals are grouped with the user's separator; pin one for the test.
    QLocale::setDefault(QLocale(QLocale::English));
}

void tst_GameSession::speedGame()
{
    Game g;
    g.session.setLink(1, true, 3);
    g.session.setLink(2, true, 4);
    QSignalSpy started(&g.session, &GameSession::started);
    g.session.start(PlayMode::Speed, QDateTime(QDate(2026, 12, 8), QTime(20, 0)));
    QCOMPARE(started.size(), 1);
    QCOMPARE(started.at(0).at(0).value<PlayMode>(), PlayMode::Speed);
    QVERIFY(g.shown().running);
    QCOMPARE(g.shown().reading, Reading::Rest);
    QCOMPARE(g.shown().players[1].record, std::optional<qint32>(0));

    // The filter needs two equal samples before a new speed counts.
    for (int tick = 0; tick < 5; ++tick) {
        g.feed({ 5000, 7000, 0, 0 });
        g.session.refreshTick(g.latest);
    }
    QCOMPARE(g.shown().reading, Reading::Speed);
    QCOMPARE(g.shown().players[2].rpm, 7000);
    QCOMPARE(g.speedCaption(2), QStringLiteral(" 7000 rpm"));
    QCOMPARE(board_text::RecordCaption(g.shown(), 2), QStringLiteral("7000 rpm"));
    QCOMPARE(g.shown().topRpm, 7000);
    QCOMPARE(g.shown().players[1].barColour, std::optional<quint32>(0xFFFF80));
    QCOMPARE(g.shown().chart.cell(5, 1), speed_mode::ChartTable::Cell { 5000 });

    g.session.stop();
    QVERIFY(!g.shown().running);
    QCOMPARE(g.records.size(), 1);
    const GameRecord &record = g.records.first();
    QCOMPARE(record.mode, rotavex::PlayMode::Speed);
    QVERIFY(record.complete);
    QVERIFY(!record.resumed);
    QCOMPARE(record.ticks, 5);
    QCOMPARE(playersOf(record), (QList<int> { 1, 2 }));
    QCOMPARE(record.players[0].port, QStringLiteral("COM3"));
    QCOMPARE(record.players[1].bestRpm, 7000);
    QCOMPARE(record.players[1].samples, (QList<qint32> { 0, 7000, 7000, 7000, 7000 }));
    QVERIFY(!record.players[1].revolutions);
}

void tst_GameSession::strengthGameOf30Seconds()
{
    Game g;
    g.session.setLink(1, true, 1);
    QSignalSpy countdown(&g.session, &GameSession::countdownChanged);
    g.session.nextPreset();
    QCOMPARE(g.shown().presetSeconds, 30);
    QCOMPARE(g.shown().countdownSeconds, 30);
    g.session.start(PlayMode::Strength, QDateTime::currentDateTime());
    QCOMPARE(g.speedCaption(1), QStringLiteral("0 rev"));
    for (int second = 1; second <= 30; ++second) {
        g.strengthSecond({ 6000, 0, 0, 0 });
        QCOMPARE(g.shown().countdownSeconds, 30 - second);
    }
    // 30 (preset) + 30 ticks (the start shows the seconds it counts from).
    QCOMPARE(countdown.size(), 1 + 1 + 30);
    QCOMPARE(countdown.last().at(0).toInt(), 0);
    QVERIFY(!g.shown().running);
    QVERIFY(g.shown().ranOut);
    // The first refresh after the start sees an empty filter window and adds nothing.
    QCOMPARE(g.speedCaption(1), QStringLiteral("2,900 rev"));
    QCOMPARE(g.speedCaption(2), QStringLiteral(" rev"));
    QCOMPARE(board_text::RecordCaption(g.shown(), 1), QStringLiteral("6000 rpm max"));
    QCOMPARE(g.shown().players[1].bar, 5800.0);

    QCOMPARE(g.records.size(), 1);
    const GameRecord &record = g.records.first();
    QVERIFY(record.complete);
    QCOMPARE(record.presetSeconds, 30);
    QCOMPARE(record.ticks, 30);
    QCOMPARE(playersOf(record), QList<int> { 1 });
    QCOMPARE(record.players[0].revolutions, 2900.0);
    QCOMPARE(record.players[0].meanRpm, 5800);
    QCOMPARE(record.players[0].bestRpm, 6000);
}

void tst_GameSession::stopAndStartAgain_data()
{
    QTest::addColumn<int>("secondsBeforeStop");
    QTest::addColumn<int>("presetClicksWhileStopped");
    QTest::addColumn<bool>("resumes");
    QTest::addColumn<int>("countdownAfterStart");

    QTest::newRow("stopped with 20 s left goes on") << 10 << 0 << true << 20;
    QTest::newRow("stopped with 1 s left goes on") << 29 << 0 << true << 1;
    QTest::newRow("a run-out countdown starts a new game") << 30 << 0 << false << 30;
    QTest::newRow("a preset chosen while stopped starts a new game") << 10 << 3 << false << 30;
}

// Player 1 turns 9000 rpm before the stop and 6000 after it, player 2 6000 throughout.
void tst_GameSession::stopAndStartAgain()
{
    QFETCH(int, secondsBeforeStop);
    QFETCH(int, presetClicksWhileStopped);
    QFETCH(bool, resumes);
    QFETCH(int, countdownAfterStart);

    Game g;
    g.session.setLink(1, true, 1);
    g.session.setLink(2, true, 2);
    g.session.nextPreset();
    g.session.start(PlayMode::Strength, QDateTime::currentDateTime());
    for (int second = 0; second < secondsBeforeStop; ++second) {
        g.strengthSecond({ 9000, 6000, 0, 0 });
    }
    g.session.stop();
    QCOMPARE(g.records.size(), 1);
    QVERIFY(!g.records.last().complete == (secondsBeforeStop < 30));
    const double revolutionsAtStop = g.shown().players[2].revolutions;

    for (int click = 0; click < presetClicksWhileStopped; ++click) {
        g.session.nextPreset();
    }
    g.session.start(PlayMode::Strength, QDateTime::currentDateTime());
    QCOMPARE(g.shown().countdownSeconds, countdownAfterStart);
    // The board's records are cleared either way; the totals carry on only when resumed.
    QCOMPARE(g.shown().reading, Reading::StrengthRest);
    QCOMPARE(g.shown().players[1].record, std::optional<qint32>(0));
    QCOMPARE(g.shown().topRpm, 0);
    QCOMPARE(g.shown().players[2].revolutions, resumes ? revolutionsAtStop : 0.0);

    for (int second = 0; second < countdownAfterStart; ++second) {
        g.strengthSecond({ 6000, 6000, 0, 0 });
    }
    QVERIFY(g.shown().ranOut);
    QCOMPARE(g.records.size(), 2);
    const GameRecord &last = g.records.last();
    QCOMPARE(last.resumed, resumes);
    QCOMPARE(last.complete, !resumes);
    QCOMPARE(last.ticks, resumes ? 30 : countdownAfterStart);
    QCOMPARE(playersOf(last), (QList<int> { 1, 2 }));
    // Every second refreshed after a start but the first adds 100 revolutions at 6000 rpm.
    const double fromHere = (countdownAfterStart - 1) * 100.0;
    QCOMPARE(*last.players[1].revolutions, resumes ? revolutionsAtStop + fromHere : fromHere);
    // The best speed of the whole game, though the board's record was cleared.
    QCOMPARE(last.players[0].bestRpm, resumes ? 9000 : 6000);
    QCOMPARE(board_text::RecordCaption(g.shown(), 1),
        countdownAfterStart > 1 ? QStringLiteral("6000 rpm max") : QStringLiteral("0 rpm max"));
    // The game as it ran, after its last tick, is its record in all but being complete: what a
    // crash then would have kept.
    GameRecord running = g.progress.last();
    QVERIFY(!running.complete);
    running.complete = last.complete;
    QCOMPARE(running.ending, results::Ending::Stopped);
    running.ending = last.ending;
    QCOMPARE(running, last);
}

void tst_GameSession::clearMidGame()
{
    Game g;
    g.session.setLink(3, true, 3);
    g.session.start(PlayMode::Speed, QDateTime::currentDateTime());
    for (int tick = 0; tick < 4; ++tick) {
        g.feed({ 0, 0, 8000, 0 });
        g.session.refreshTick(g.latest);
    }
    QCOMPARE(g.shown().topRpm, 8000);
    QSignalSpy updated(&g.session, &GameSession::updated);

    g.session.clear();

    QCOMPARE(updated.size(), 1);
    QVERIFY(g.shown().running);
    QCOMPARE(g.shown().reading, Reading::Rest);
    QCOMPARE(g.shown().topRpm, 0);
    QCOMPARE(g.shown().players[3].record, std::optional<qint32>(0));
    QCOMPARE(g.shown().players[3].bar, 0.0);
    QCOMPARE(g.shown().chart, speed_mode::ChartTable {});
    QCOMPARE(g.speedCaption(3), QStringLiteral("0 rpm"));

    // The game goes on; its record keeps every accepted second, before the clear too.
    for (int tick = 0; tick < 3; ++tick) {
        g.feed({ 0, 0, 7000, 0 });
        g.session.refreshTick(g.latest);
    }
    QCOMPARE(g.shown().players[3].record, std::optional<qint32>(7000));
    g.session.stop();
    QCOMPARE(g.records.size(), 1);
    QCOMPARE(g.records.first().ticks, 7);
    QCOMPARE(g.records.first().players.first().bestRpm, 8000);
}

void tst_GameSession::participants_data()
{
    QTest::addColumn<bool>("strength");
    QTest::newRow("speed") << false;
    QTest::newRow("strength") << true;
}

// Player 1 is open from the start, player 2 opens mid-game, player 3 opens and closes again,
// player 4 closed before the start and never came back.
void tst_GameSession::participants()
{
    QFETCH(bool, strength);
    Game g;
    g.session.setLink(1, true, 1);
    g.session.setLink(4, true, 4);
    g.session.setLink(4, false, 4);
    g.session.start(strength ? PlayMode::Strength : PlayMode::Speed, QDateTime());
    const auto second = [&g, strength] {
        if (strength) {
            g.strengthSecond({ 3000, 3000, 3000, 0 });
        } else {
            g.feed({ 3000, 3000, 3000, 0 });
            g.session.refreshTick(g.latest);
        }
    };
    second();
    g.session.setLink(2, true, 2);
    g.session.setLink(3, true, 3);
    second();
    g.session.setLink(3, false, 3);
    second();
    const QList<bool> expected { true, true, true, false };
    for (PlayerSlot p = 1; p <= 4; ++p) {
        QCOMPARE(g.shown().players[p].participating, expected[p - 1]);
    }
    g.session.stop();
    QCOMPARE(playersOf(g.records.first()), (QList<int> { 1, 2, 3 }));
    QCOMPARE(g.records.first().players[2].port, QStringLiteral("COM3"));
    // A link that opens after the game has ended joins nothing.
    g.session.setLink(4, true, 4);
    QVERIFY(!g.shown().players[4].participating);
}

// A link that stored nothing since the last refresh leaves what the filter made of its last
// sample in place: Speed turns player 1's rejection into "no speed", which the next refresh
// then shows, until the device sends again.
void tst_GameSession::staleSamplesGoThroughTheFilterAgain()
{
    Game g;
    g.session.start(PlayMode::Speed, QDateTime());
    for (int tick = 0; tick < 3; ++tick) {
        g.feed({ 3000, 3000, 3000, 3000 });
        g.session.refreshTick(g.latest);
    }
    g.feed({ 5000, 3000, 3000, 3000 });
    g.session.refreshTick(g.latest); // median 3000: accepted
    QCOMPARE(g.shown().players[1].rpm, 3000);
    g.feed({ 5000, 3000, 3000, 3000 });
    g.session.refreshTick(g.latest); // median 5000, outside a third of 3000: rejected
    QCOMPARE(g.shown().players[1].rpm, 3000);
    g.session.refreshTick(g.latest); // nothing new: the 0 left by the rejection
    QCOMPARE(g.shown().players[1].rpm, 0);
    g.feed({ 5000, 3000, 3000, 3000 });
    g.session.refreshTick(g.latest);
    QCOMPARE(g.shown().players[1].rpm, 5000);
}

void tst_GameSession::seats_data()
{
    QTest::addColumn<QList<bool>>("seated");
    QTest::addColumn<QList<bool>>("open");
    QTest::addColumn<QList<int>>("recorded");
    QTest::addColumn<qint32>("top");
    // Device 4 spins fastest (9000 rpm) on every row.
    QTest::newRow("all seated") << QList<bool> { true, true, true, true }
                                << QList<bool> { true, true, true, true }
                                << QList<int> { 1, 2, 3, 4 } << 9000;
    QTest::newRow("empty seat on an open link")
        << QList<bool> { true, true, true, false } << QList<bool> { true, true, true, true }
        << QList<int> { 1, 2, 3 } << 7000;
    QTest::newRow("absent player beside an empty seat")
        << QList<bool> { true, false, true, true } << QList<bool> { true, true, false, true }
        << QList<int> { 1, 4 } << 9000;
}

// An empty seat scores, shows, leads and records nothing, whatever its link streams.
void tst_GameSession::seats()
{
    QFETCH(QList<bool>, seated);
    QFETCH(QList<bool>, open);
    QFETCH(QList<int>, recorded);
    QFETCH(qint32, top);
    Game g;
    game::Seated seats;
    for (PlayerSlot p = 1; p <= 4; ++p) {
        seats[p] = seated[p - 1];
        g.session.setLink(p, open[p - 1], p);
    }
    g.session.setSeated(seats);
    g.session.start(PlayMode::Strength, QDateTime());
    for (int second = 0; second < 4; ++second) {
        g.strengthSecond({ 5000, 6000, 7000, 9000 });
    }
    const evening::ScoreboardState shown = evening::StateFrom(g.shown());
    QCOMPARE(g.shown().topRpm, top);
    for (PlayerSlot p = 1; p <= 4; ++p) {
        QCOMPARE(g.shown().players[p].seated, seated[p - 1]);
        QCOMPARE(g.shown().players[p].participating, recorded.contains(p));
        QCOMPARE(g.speedCaption(p) == QString(QChar(0x2014)), !seated[p - 1]);
        QCOMPARE(shown.players[p].leader, p == (top == 9000 ? 4 : 3));
    }
    g.session.stop();
    QCOMPARE(playersOf(g.records.first()), recorded);
}

QTEST_GUILESS_MAIN(tst_GameSession)
#include "tst_game_session.moc"
