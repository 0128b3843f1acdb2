// SPDX-License-Identifier: MIT
#include "competition/lineup.h"

#include <QTest>

#include <algorithm>
#include <map>

using namespace competition;

namespace
{

QList<PlayerId> roster(int first, int count)
{
    QList<PlayerId> ids;
    for (int i = 0; i < count; ++i) {
        ids.append(first + i);
    }
    return ids;
}

using Pair = std::pair<PlayerId, PlayerId>;

std::map<Pair, int> meetings(const QList<Heat> &heats, int lastRound = kMaxRounds)
{
    std::map<Pair, int> met;
    for (const Heat &heat : heats) {
        if (heat.round > lastRound) {
            continue;
        }
        for (int a = 0; a < kDevices; ++a) {
            for (int b = a + 1; b < kDevices; ++b) {
                const PlayerId x = heat.seats[std::size_t(a)];
                const PlayerId y = heat.seats[std::size_t(b)];
                if (x != kNoPlayer && y != kNoPlayer) {
                    ++met[{ std::min(x, y), std::max(x, y) }];
                }
            }
        }
    }
    return met;
}

// Every player of `players` exactly once in the round's heats, nobody else; sizes 1..4
// differing by one at most, as few heats as four seats need.
void checkRound(const QList<Heat> &heats, int round, QList<PlayerId> players)
{
    QList<PlayerId> seated;
    int smallest = kDevices;
    int largest = 0;
    int count = 0;
    for (const Heat &heat : heats) {
        if (heat.round != round) {
            continue;
        }
        ++count;
        smallest = std::min(smallest, heat.size());
        largest = std::max(largest, heat.size());
        for (const PlayerId id : heat.seats) {
            if (id != kNoPlayer) {
                seated.append(id);
            }
        }
    }
    std::sort(seated.begin(), seated.end());
    std::sort(players.begin(), players.end());
    QCOMPARE(seated, players);
    if (!players.isEmpty()) {
        QCOMPARE(count, (int(players.size()) + kDevices - 1) / kDevices);
        QVERIFY2(smallest >= 1 && largest - smallest <= 1,
            qPrintable(QStringLiteral("round %1: heats of %2 to %3")
                           .arg(round)
                           .arg(smallest)
                           .arg(largest)));
    }
}

} // namespace

class tst_Lineup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyRosterSizeAndLength();
    void heatSizes_data();
    void heatSizes();
    void playedHeatsNeverChange_data();
    void playedHeatsNeverChange();
    void sameInputsSamePlan();
};

// The properties over every roster of 1 to 40 players and every length of 1 to 8 rounds.
void tst_Lineup::everyRosterSizeAndLength()
{
    for (int players = 1; players <= 40; ++players) {
        for (int rounds = kMinRounds; rounds <= kMaxRounds; ++rounds) {
            const QString where = QStringLiteral("%1 players, %2 rounds").arg(players).arg(rounds);
            const QList<PlayerId> ids = roster(1, players);
            const QList<Heat> plan = PlanLineup(ids, rounds, {});

            int lastRound = 0;
            for (const Heat &heat : plan) {
                QVERIFY2(heat.round >= lastRound, qPrintable(where + ": rounds out of order"));
                lastRound = heat.round;
            }
            for (int round = 1; round <= rounds; ++round) {
                checkRound(plan, round, ids);
                if (QTest::currentTestFailed()) {
                    QFAIL(qPrintable(where));
                }
            }

            // Each device as evenly as the rounds allow: once each over four rounds.
            std::map<PlayerId, std::array<int, kDevices>> used;
            for (const Heat &heat : plan) {
                for (int d = 0; d < kDevices; ++d) {
                    if (heat.seats[std::size_t(d)] != kNoPlayer) {
                        ++used[heat.seats[std::size_t(d)]][std::size_t(d)];
                    }
                }
            }
            for (const auto &[id, counts] : used) {
                const auto [low, high] = std::minmax_element(counts.begin(), counts.end());
                QVERIFY2(*low >= rounds / kDevices && *high <= (rounds + kDevices - 1) / kDevices,
                    qPrintable(QStringLiteral("%1: player %2 uses the devices %3 %4 %5 %6")
                                   .arg(where)
                                   .arg(id)
                                   .arg(counts[0])
                                   .arg(counts[1])
                                   .arg(counts[2])
                                   .arg(counts[3])));
            }

            if (players < 2) {
                continue;
            }
            // Opponents vary: no pair meets much more often than the seats force, ...
            const auto met = meetings(plan);
            int most = 0;
            for (const auto &[pair, times] : met) {
                most = std::max(most, times);
            }
            const int forced = (3 * rounds + players - 2) / (players - 1);
            QVERIFY2(most <= forced + 1,
                qPrintable(QStringLiteral("%1: a pair meets %2 times").arg(where).arg(most)));
            // ... when there are seats enough for everyone to meet everyone, most do, ...
            const int pairs = players * (players - 1) / 2;
            if (3 * rounds >= 2 * (players - 1)) {
                QVERIFY2(4 * int(met.size()) >= 3 * pairs,
                    qPrintable(QStringLiteral("%1: only %2 of %3 pairs meet")
                                   .arg(where)
                                   .arg(met.size())
                                   .arg(pairs)));
            }
            // ... and with enough heats the second round brings only new opponents.
            if (players >= 15 && rounds >= 2) {
                for (const auto &[pair, times] : meetings(plan, 2)) {
                    QVERIFY2(times == 1,
                        qPrintable(QStringLiteral("%1: %2 and %3 meet again in round 2")
                                       .arg(where)
                                       .arg(pair.first)
                                       .arg(pair.second)));
                }
            }
        }
    }
}

void tst_Lineup::heatSizes_data()
{
    QTest::addColumn<int>("players");
    QTest::addColumn<QList<int>>("sizes");
    QTest::newRow("one player plays alone") << 1 << QList<int> { 1 };
    QTest::newRow("four fill one heat") << 4 << QList<int> { 4 };
    QTest::newRow("five: three and two, not four and one") << 5 << QList<int> { 3, 2 };
    QTest::newRow("ten: four, three, three") << 10 << QList<int> { 4, 3, 3 };
    QTest::newRow("thirteen: four, three, three, three") << 13 << QList<int> { 4, 3, 3, 3 };
    QTest::newRow("twenty: five full heats") << 20 << QList<int> { 4, 4, 4, 4, 4 };
    QTest::newRow("twenty-two: larger heats first") << 22 << QList<int> { 4, 4, 4, 4, 3, 3 };
}

void tst_Lineup::heatSizes()
{
    QFETCH(int, players);
    QFETCH(QList<int>, sizes);
    const QList<Heat> plan = PlanLineup(roster(1, players), 1, {});
    QList<int> actual;
    for (const Heat &heat : plan) {
        actual.append(heat.size());
    }
    QCOMPARE(actual, sizes);
}

void tst_Lineup::playedHeatsNeverChange_data()
{
    QTest::addColumn<int>("players");
    QTest::addColumn<int>("rounds");
    QTest::addColumn<int>("played");
    QTest::addColumn<int>("added");
    QTest::addColumn<QList<PlayerId>>("retired");
    QTest::newRow("late arrival mid-round") << 10 << 4 << 2 << 1 << QList<PlayerId> {};
    QTest::newRow("three late arrivals after round one") << 12 << 3 << 3 << 3 << QList<PlayerId> {};
    QTest::newRow("retirement of a player yet to play this round")
        << 9 << 3 << 1 << 0 << QList<PlayerId> { 9 };
    QTest::newRow("retirement of a player who played this round")
        << 9 << 3 << 1 << 0 << QList<PlayerId> { 1 };
    QTest::newRow("arrivals and retirements together")
        << 20 << 4 << 7 << 2 << QList<PlayerId> { 3, 17 };
    QTest::newRow("everyone but one retires")
        << 6 << 2 << 1 << 0 << QList<PlayerId> { 1, 2, 3, 4, 5 };
    QTest::newRow("arrival between rounds starts with the next round")
        << 8 << 3 << 2 << 1 << QList<PlayerId> {};
    QTest::newRow("arrival after the last heat of the last round plays nothing")
        << 8 << 2 << 4 << 1 << QList<PlayerId> {};
}

// Played heats stay as they were, whatever the roster becomes; from the round of the last
// played heat on, the active players still play once per round.
void tst_Lineup::playedHeatsNeverChange()
{
    QFETCH(int, players);
    QFETCH(int, rounds);
    QFETCH(int, played);
    QFETCH(int, added);
    QFETCH(QList<PlayerId>, retired);

    const QList<Heat> first = PlanLineup(roster(1, players), rounds, {});
    const QList<Heat> done = first.first(played);
    QList<PlayerId> active = roster(1, players + added);
    for (const PlayerId id : retired) {
        active.removeAll(id);
    }
    const int current = played < first.size() ? first[played].round : rounds + 1;
    const QList<Heat> replanned = PlanLineup(active, rounds, done, current);
    QCOMPARE(replanned.first(played), done);

    for (int round = current; round <= rounds; ++round) {
        QList<PlayerId> expected = active;
        QList<Heat> later;
        for (int h = 0; h < replanned.size(); ++h) {
            const Heat &heat = replanned[h];
            if (heat.round != round) {
                continue;
            }
            if (h < played) {
                for (const PlayerId id : heat.seats) {
                    expected.removeAll(id);
                }
            } else {
                later.append(heat);
            }
        }
        checkRound(later, round, expected);
    }
    for (int h = played; h < replanned.size(); ++h) {
        QVERIFY2(replanned[h].round >= current, "a closed round got a new heat");
    }
}

void tst_Lineup::sameInputsSamePlan()
{
    const QList<Heat> once = PlanLineup(roster(5, 23), 6, {});
    QCOMPARE(PlanLineup(roster(5, 23), 6, {}), once);
    // Ids need not be dense or start at 1.
    QList<PlayerId> sparse;
    for (const PlayerId id : roster(1, 23)) {
        sparse.append(id * 100);
    }
    QCOMPARE(PlanLineup(sparse, 6, {}).size(), once.size());
}

QTEST_GUILESS_MAIN(tst_Lineup)
#include "tst_lineup.moc"
