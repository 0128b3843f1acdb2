// SPDX-License-Identifier: MIT
#include "competition/competition.h"
#include "competition/competition_csv.h"

#include <QTest>

using namespace competition;

namespace
{

Competition started(int players, int rounds)
{
    Competition c;
    c.settings.name = QStringLiteral("Club night");
    c.settings.rounds = rounds;
    QStringList names;
    for (int i = 1; i <= players; ++i) {
        names.append(QStringLiteral("P%1").arg(i));
    }
    AddPlayers(c, names);
    return c;
}

// Plays the next heat with everyone present, scoring each player their id times ten.
void playNext(Competition &c)
{
    const int next = *NextHeat(c);
    QList<SeatResult> seats;
    const Heat &heat = c.heats[next];
    for (int d = 0; d < kDevices; ++d) {
        if (heat.seats[std::size_t(d)] != kNoPlayer) {
            const PlayerId id = heat.seats[std::size_t(d)];
            seats.append(SeatResult { id, d + 1, false, id * 10.0, 5000 + id });
        }
    }
    QVERIFY(RecordAttempt(c, seats, 100 + next, false));
}

} // namespace

class tst_Competition : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roster_data();
    void roster();
    void lateArrivalJoinsTheCurrentRound();
    void retiredPlayerLeavesUpcomingHeats();
    void rename_data();
    void rename();
    void swapWithinTheRound();
    void redoAddsAnAttempt();
    void csvFiles();
};

void tst_Competition::roster_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("one a line, blanks and spaces dropped")
        << QStringLiteral("  Ann \n\nBob\r\n\t\nCem  Demir") << QStringList {}
        << QStringList { "Ann", "Bob", "Cem Demir" };
    QTest::newRow("a repeated name is numbered") << QStringLiteral(
        "Ann\nann\nANN") << QStringList {} << QStringList { "Ann", "ann (2)", "ANN (3)" };
    QTest::newRow("a name already on the roster is numbered")
        << QStringLiteral("Bob") << QStringList { "bob" } << QStringList { "Bob (2)" };
    QTest::newRow("markup stays text")
        << QStringLiteral("<b>Zoë</b>") << QStringList {} << QStringList { "<b>Zoë</b>" };
    QTest::newRow("nothing") << QStringLiteral("\n \n") << QStringList {} << QStringList {};
}

void tst_Competition::roster()
{
    QFETCH(QString, text);
    QFETCH(QStringList, taken);
    QFETCH(QStringList, names);
    QCOMPARE(ParseRoster(text, taken), names);
}

void tst_Competition::lateArrivalJoinsTheCurrentRound()
{
    Competition c = started(9, 3);
    QCOMPARE(c.heats.size(), 9);
    playNext(c);
    const QList<Heat> played = c.heats.first(1);
    const QList<PlayerId> late = AddPlayers(c, { QStringLiteral("Late") });
    QCOMPARE(late, QList<PlayerId> { 10 });
    QCOMPARE(c.heats.first(1), played);
    // Ten players: the rest of round 1 holds the seven who have not played plus the late one.
    int inRoundOne = 0;
    bool lateInRoundOne = false;
    for (int h = 1; h < c.heats.size(); ++h) {
        if (c.heats[h].round == 1) {
            inRoundOne += c.heats[h].size();
            lateInRoundOne = lateInRoundOne || c.heats[h].deviceOf(10) != 0;
        }
    }
    QCOMPARE(inRoundOne, 10 - played[0].size());
    QVERIFY(lateInRoundOne);

    // A heat called to the board but not played yet stays as announced.
    const Heat called = c.heats[1];
    AddPlayers(c, { QStringLiteral("Later") }, 2);
    QCOMPARE(c.heats[1], called);
    RetirePlayer(c, called.seats[0], 2);
    QCOMPARE(c.heats[1], called);
    QCOMPARE(c.heats.first(1), played);
}

void tst_Competition::retiredPlayerLeavesUpcomingHeats()
{
    Competition c = started(8, 2);
    playNext(c);
    const PlayerId leaving = c.heats[0].seats[0];
    QVERIFY(RetirePlayer(c, leaving));
    QVERIFY(!RetirePlayer(c, leaving));
    QCOMPARE(c.heats[0].deviceOf(leaving), 1);
    for (int h = 1; h < c.heats.size(); ++h) {
        QCOMPARE(c.heats[h].deviceOf(leaving), 0);
    }
    QVERIFY(FindPlayer(c, leaving)->retired);
}

void tst_Competition::rename_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("shown");
    QTest::newRow("new name") << QStringLiteral(" Annabel ") << true << QStringLiteral("Annabel");
    QTest::newRow("another player's name") << QStringLiteral("p2") << false << QStringLiteral("P1");
    QTest::newRow("own name in other case") << QStringLiteral("p1") << true << QStringLiteral("p1");
    QTest::newRow("blank") << QStringLiteral("  ") << false << QStringLiteral("P1");
}

void tst_Competition::rename()
{
    QFETCH(QString, name);
    QFETCH(bool, accepted);
    QFETCH(QString, shown);
    Competition c = started(3, 1);
    const QList<Heat> heats = c.heats;
    QCOMPARE(RenamePlayer(c, 1, name), accepted);
    QCOMPARE(FindPlayer(c, 1)->name, shown);
    QCOMPARE(c.heats, heats);
}

void tst_Competition::swapWithinTheRound()
{
    Competition c = started(10, 2);
    playNext(c);
    const PlayerId missing = c.heats[1].seats[0];
    const QList<PlayerId> candidates = SwapCandidates(c, missing);
    // Only players of the round's other unplayed heat (heat 3, three players).
    QCOMPARE(candidates.size(), c.heats[2].size());
    const PlayerId stand = candidates.first();
    const int standDevice = c.heats[2].deviceOf(stand);
    QVERIFY(Swap(c, missing, stand));
    QCOMPARE(c.heats[1].deviceOf(stand), 1);
    QCOMPARE(c.heats[2].deviceOf(missing), standDevice);
    // Not with someone of a played heat (who is then in round 2 only), nor with oneself.
    QVERIFY(!Swap(c, missing, c.heats[0].seats[0]));
    QVERIFY(!Swap(c, missing, missing));
}

void tst_Competition::redoAddsAnAttempt()
{
    Competition c = started(4, 2);
    QVERIFY(!RecordAttempt(c, {}, 0, true)); // nothing to redo yet
    playNext(c);
    QCOMPARE(NextHeat(c), std::optional<int>(1));
    const std::optional<int> redone = RecordAttempt(c, {}, 55, true);
    QCOMPARE(redone, std::optional<int>(0));
    QCOMPARE(NextHeat(c), std::optional<int>(1));
    QCOMPARE(CountedAttempt(c, 0)->attempt, 2);
    QCOMPARE(CountedAttempt(c, 0)->gameId, qint64(55));
    playNext(c);
    QCOMPARE(NextHeat(c), std::nullopt);
    QVERIFY(!RecordAttempt(c, {}, 0, false));
}

void tst_Competition::csvFiles()
{
    Competition c;
    c.settings.rounds = 1;
    AddPlayers(c,
        { QStringLiteral("=cmd|' /C calc'!A0"), QStringLiteral("Bob, Jr."),
            QStringLiteral("Cem") });
    // One heat of three; Cem is absent, then the heat is redone with everyone.
    QCOMPARE(c.heats.size(), 1);
    QVERIFY(SetRankingRule(c, RankingRule::Mean));
    auto seats = [&](bool cemThere) {
        QList<SeatResult> list;
        for (int d = 0; d < kDevices; ++d) {
            const PlayerId id = c.heats[0].seats[std::size_t(d)];
            if (id != kNoPlayer) {
                list.append(SeatResult { id, d + 1, id == 3 && !cemThere, id * 100.25, 6000 });
            }
        }
        return list;
    };
    RecordAttempt(c, seats(false), 7, false);
    RecordAttempt(c, seats(true), 8, true);

    const QStringList standings = StandingsCsv(c).split(QStringLiteral("\r\n"));
    QCOMPARE(standings.value(0), QLatin1String(kStandingsCsvHeader));
    QCOMPARE(standings.mid(1),
        (QStringList { "1,Cem,301,rev,1,0,,mean", "2,\"Bob, Jr.\",201,rev,1,0,,mean",
            "3,'=cmd|' /C calc'!A0,100,rev,1,0,,mean", "" }));

    const QStringList heats = HeatsCsv(c).split(QStringLiteral("\r\n"));
    QCOMPARE(heats.value(0), QLatin1String(kHeatsCsvHeader));
    QCOMPARE(heats.size(), 1 + 6 + 1);
    QVERIFY(heats.filter(QStringLiteral(",Cem,absent,,,7")).size() == 1);
    QVERIFY(heats.filter(QStringLiteral(",1,1,")).size() == 3); // attempt 2 counted
    QVERIFY(heats.filter(QStringLiteral(",1,0,")).size() == 3); // attempt 1 kept, not counted
}

QTEST_GUILESS_MAIN(tst_Competition)
#include "tst_competition.moc"
