// SPDX-License-Identifier: MIT
#include "evening/scoreboard_state.h"

#include <QSignalSpy>
#include <QTest>

using evening::PlayMode;
using rotavex::PerPlayer;
using rotavex::PlayerSlot;

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

QString leaderText(const evening::ScoreboardState &state)
{
    QString text;
    for (PlayerSlot p = 1; p <= 4; ++p) {
        text += state.players[p].leader ? QLatin1Char('L') : QLatin1Char('-');
    }
    return text;
}

competition::Competition started(int players)
{
    competition::Competition c;
    c.settings.name = QStringLiteral("Club night");
    c.settings.rounds = 1;
    QStringList names;
    for (int i = 1; i <= players; ++i) {
        names.append(QStringLiteral("P%1").arg(i));
    }
    competition::AddPlayers(c, names);
    return c;
}

// Plays the next heat with everyone present, scoring each player their id times ten.
void playNext(competition::Competition &c)
{
    const int next = *competition::NextHeat(c);
    QList<competition::SeatResult> seats;
    const competition::Heat &heat = c.heats[next];
    for (int d = 0; d < competition::kDevices; ++d) {
        if (const competition::PlayerId id = heat.seats[std::size_t(d)]) {
            seats.append(competition::SeatResult { id, d + 1, false, id * 10.0, 5000 + id });
        }
    }
    QVERIFY(competition::RecordAttempt(c, seats, 100 + next, false));
}

} // namespace

class tst_ScoreboardState : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fromSnapshot_data();
    void fromSnapshot();
    void resultRanksParticipantsOnly_data();
    void resultRanksParticipantsOnly();
    void ranking_data();
    void ranking();
    void leaders_data();
    void leaders();
    void betweenHeats();
    void publishesChangesOnly();
};

void tst_ScoreboardState::fromSnapshot_data()
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

// The spectators see the board's numbers: the same live value, record, bar and colour.
void tst_ScoreboardState::fromSnapshot()
{
    QFETCH(game::Reading, reading);
    QFETCH(bool, revolutions);
    game::Snapshot snapshot;
    snapshot.mode = reading == game::Reading::Speed ? PlayMode::Speed : PlayMode::Strength;
    snapshot.reading = reading;
    snapshot.topRpm = 9000;
    snapshot.players[2].name = QStringLiteral("Ben");
    snapshot.players[2].rpm = 7500;
    snapshot.players[2].revolutions = 1234.6;
    snapshot.players[2].record = 9000;
    snapshot.players[2].bar = 25000.0; // past the end of the bar
    snapshot.players[2].barColour = 0x00FF00;
    snapshot.players[3].seated = false;

    const evening::ScoreboardState state =
        evening::StateFrom(snapshot, PerPlayer<bool>({ false, true, false, false }));

    const evening::PlayerState &ben = state.players[2];
    QCOMPARE(ben.seat, PlayerSlot(2));
    QCOMPARE(ben.name, QStringLiteral("Ben"));
    QTEST(ben.live, "live");
    QCOMPARE(ben.unit == evening::Unit::Revolutions, revolutions);
    QCOMPARE(ben.bestRpm, 9000);
    QCOMPARE(ben.bar, 1.0);
    QCOMPARE(ben.colour, 0x00FF00u);
    QVERIFY(ben.linked);
    QVERIFY(!state.players[1].linked);
    QVERIFY(!state.players[3].seated);
    QCOMPARE(state.topRpm, 9000);
    // Before the first record and the first colour: 0 and the resting grey.
    QCOMPARE(state.players[1].bestRpm, 0);
    QCOMPARE(state.players[1].colour, 0xE0E0E0u);
    QVERIFY(!state.result);
}

void tst_ScoreboardState::resultRanksParticipantsOnly_data()
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

// The Result lists the same players the recorded game does, with the names they played under.
void tst_ScoreboardState::resultRanksParticipantsOnly()
{
    QFETCH(QString, participating);
    game::Snapshot snapshot;
    snapshot.mode = PlayMode::Strength;
    snapshot.reading = game::Reading::Strength;
    snapshot.ranOut = true;
    const PerPlayer<qint64> took = numbers(participating);
    const std::array<double, 4> revolutions { 500.0, 900.0, 0.0, 0.0 };
    for (PlayerSlot p = 1; p <= 4; ++p) {
        snapshot.players[p].name = p == 1 ? QStringLiteral("–") : QStringLiteral("P%1").arg(p);
        snapshot.players[p].participating = took[p] == 1;
        snapshot.players[p].revolutions = revolutions[p - 1];
        snapshot.players[p].record = 1000 * p;
        snapshot.players[p].bar = 100.0 * p + 0.9;
    }

    const evening::ScoreboardState state = evening::StateFrom(snapshot);

    QVERIFY(state.result);
    QStringList players;
    QStringList ranks;
    for (const evening::Place &entry : *state.result) {
        players << QString::number(entry.seat);
        ranks << QString::number(entry.rank);
        QCOMPARE(entry.name, snapshot.players[entry.seat].name);
        QCOMPARE(entry.bestRpm, 1000 * entry.seat);
        QCOMPARE(entry.meanRpm, 100 * entry.seat);
    }
    QTEST(players.join(QLatin1Char(' ')), "players");
    QTEST(ranks.join(QLatin1Char(' ')), "ranks");
}

void tst_ScoreboardState::ranking_data()
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

void tst_ScoreboardState::ranking()
{
    QFETCH(QString, revolutions);
    const PerPlayer<qint64> revs = numbers(revolutions);
    evening::Ranking results(4);
    for (PlayerSlot p = 1; p <= 4; ++p) {
        evening::Place &entry = results[std::size_t(p - 1)];
        entry.seat = p;
        entry.revolutions = revs[p];
        entry.meanRpm = 1000 * p;
        entry.bestRpm = 2000 * p;
    }
    const evening::Ranking ranking = evening::RankByRevolutions(results);
    QStringList players;
    QStringList ranks;
    for (const evening::Place &entry : ranking) {
        players << QString::number(entry.seat);
        ranks << QString::number(entry.rank);
        // Mean and best travel with their player.
        QCOMPARE(entry.meanRpm, 1000 * entry.seat);
        QCOMPARE(entry.bestRpm, 2000 * entry.seat);
    }
    QTEST(players.join(QLatin1Char(' ')), "players");
    QTEST(ranks.join(QLatin1Char(' ')), "ranks");
}

void tst_ScoreboardState::leaders_data()
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

void tst_ScoreboardState::leaders()
{
    QFETCH(PlayMode, mode);
    QFETCH(QString, records);
    QFETCH(QString, revolutions);
    game::Snapshot snapshot;
    snapshot.mode = mode;
    snapshot.reading = mode == PlayMode::Strength ? game::Reading::Strength : game::Reading::Rest;
    const PerPlayer<qint64> tags = numbers(records);
    const PerPlayer<qint64> revs = numbers(revolutions);
    for (PlayerSlot p = 1; p <= 4; ++p) {
        snapshot.players[p].record = qint32(tags[p]);
        // Shown revolutions are whole: 999.6 ties with 1000.
        snapshot.players[p].revolutions = revs[p] == 1000 ? 999.6 : double(revs[p]);
    }
    QTEST(leaderText(evening::StateFrom(snapshot)), "expected");
}

// Between heats the heat shown, else the next one to play, its seats with empty ones flagged,
// the heat after it and the standings; once all are played, the final standings alone.
void tst_ScoreboardState::betweenHeats()
{
    competition::Competition c = started(5); // heats of 3 and 2
    c.players[0].name = QStringLiteral("–");
    auto seatsOf = [&](int heat) {
        QList<evening::HeatSeat> list;
        for (const competition::PlayerId id : c.heats[heat].seats) {
            list.append(id == competition::kNoPlayer
                    ? evening::HeatSeat {}
                    : evening::HeatSeat { competition::FindPlayer(c, id)->name, true });
        }
        return list;
    };
    evening::BetweenHeats shown = evening::BetweenHeatsFor(c, std::nullopt);
    QCOMPARE(shown.heat, 1);
    QCOMPARE(shown.heatCount, 2);
    QCOMPARE(shown.seats, seatsOf(0));
    QCOMPARE(shown.seats.count(evening::HeatSeat {}), 1);
    QCOMPARE(shown.nextHeat, 2);
    QCOMPARE(shown.nextNames.size(), 2);
    QCOMPARE(shown.standings.size(), 5);
    QCOMPARE(shown.rule, competition::RankingRule::Total);
    playNext(c);
    shown = evening::BetweenHeatsFor(c, std::nullopt);
    QCOMPARE(shown.heat, 2);
    QCOMPARE(shown.nextHeat, std::nullopt);
    // A redo called to the board shows the heat played again.
    QCOMPARE(evening::BetweenHeatsFor(c, 0).seats, seatsOf(0));
    QCOMPARE(evening::BetweenHeatsFor(c, 0).heat, 1);
    playNext(c);
    shown = evening::BetweenHeatsFor(c, std::nullopt);
    QCOMPARE(shown.heat, std::nullopt);
    QVERIFY(shown.seats.isEmpty());
    QCOMPARE(shown.standings.first().rank, 1);

    // A Speed competition set to Total ranks by the best heat, and says so.
    c.settings.gameKind = PlayMode::Speed;
    QCOMPARE(evening::BetweenHeatsFor(c, std::nullopt).rule, competition::RankingRule::Best);

    // The spectators follow a heat's game while it runs, the competition again after it.
    game::Snapshot snapshot;
    snapshot.running = true;
    QVERIFY(!evening::StateFrom(snapshot, {}, shown).betweenHeats);
    snapshot.running = false;
    QCOMPARE(evening::StateFrom(snapshot, {}, shown).betweenHeats, shown);
}

// Ticks that change nothing a spectator sees are not passed on; every real change is.
void tst_ScoreboardState::publishesChangesOnly()
{
    evening::ScoreboardPublisher publisher;
    QSignalSpy published(&publisher, &evening::ScoreboardPublisher::published);
    game::Snapshot snapshot;
    snapshot.mode = PlayMode::Speed;
    snapshot.reading = game::Reading::Speed;
    snapshot.players[1].rpm = 4000;
    publisher.showSnapshot(snapshot);
    QCOMPARE(published.size(), 1);
    snapshot.chart.setCell(1, 1, 4000); // the board's chart is no part of the scoreboard
    publisher.showSnapshot(snapshot);
    QCOMPARE(published.size(), 1);
    publisher.setLinked(2, true);
    QCOMPARE(published.size(), 2);
    publisher.setLinked(2, true);
    QCOMPARE(published.size(), 2);
    publisher.showBetweenHeats(evening::BetweenHeatsFor(started(3), std::nullopt));
    QCOMPARE(published.size(), 3);
    const auto last = published.last().first().value<evening::ScoreboardState>();
    QCOMPARE(last, publisher.state());
    QVERIFY(last.players[2].linked);
    QCOMPARE(last.players[1].live, 4000);
    QCOMPARE(last.betweenHeats->competition, QStringLiteral("Club night"));
}

QTEST_GUILESS_MAIN(tst_ScoreboardState)
#include "tst_scoreboard_state.moc"
