// SPDX-License-Identifier: MIT
#include "competition/standings.h"

#include <QTest>

using namespace competition;

namespace
{

// A competition written compactly. `heats`: one string per heat, "round:name,name,..." in
// device order. `attempts`: "heat:name=value,name=absent,..." with heats numbered from 1;
// value is revolutions (Strength) or best rpm (Speed).
Competition build(PlayMode gameKind, const QStringList &players, const QStringList &retired,
    const QStringList &heats, const QStringList &attempts)
{
    Competition c;
    c.settings.gameKind = gameKind;
    c.settings.rounds = 8;
    for (int i = 0; i < players.size(); ++i) {
        c.players.append(Player { i + 1, players[i], retired.contains(players[i]) });
    }
    auto idOf = [&](const QString &name) { return int(players.indexOf(name)) + 1; };
    for (const QString &text : heats) {
        Heat heat;
        heat.round = text.section(QLatin1Char(':'), 0, 0).toInt();
        const QStringList names = text.section(QLatin1Char(':'), 1).split(QLatin1Char(','));
        for (int d = 0; d < names.size(); ++d) {
            heat.seats[std::size_t(d)] = idOf(names[d]);
        }
        c.heats.append(heat);
    }
    for (const QString &text : attempts) {
        Attempt attempt;
        attempt.heat = text.section(QLatin1Char(':'), 0, 0).toInt() - 1;
        int number = 1;
        for (const Attempt &earlier : c.attempts) {
            if (earlier.heat == attempt.heat) {
                ++number;
            }
        }
        attempt.attempt = number;
        for (const QString &seat : text.section(QLatin1Char(':'), 1).split(QLatin1Char(','))) {
            const QString name = seat.section(QLatin1Char('='), 0, 0);
            const QString value = seat.section(QLatin1Char('='), 1);
            SeatResult result;
            result.player = idOf(name);
            result.device = c.heats[attempt.heat].deviceOf(result.player);
            result.absent = value == QLatin1String("absent");
            result.revolutions = value.toDouble();
            result.bestRpm = value.toInt();
            attempt.seats.append(result);
        }
        c.attempts.append(attempt);
    }
    return c;
}

// "rank name score played missed [retired]", rank "-" when unranked.
QStringList describe(const QList<Standing> &standings)
{
    QStringList lines;
    for (const Standing &s : standings) {
        QString line = QStringLiteral("%1 %2 %3 %4 %5")
                           .arg(s.rank > 0 ? QString::number(s.rank) : QStringLiteral("-"), s.name)
                           .arg(qint64(std::llround(s.score)))
                           .arg(s.roundsPlayed)
                           .arg(s.roundsMissed);
        if (s.retired) {
            line += QStringLiteral(" retired");
        }
        lines.append(line);
    }
    return lines;
}

} // namespace

class tst_Standings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void standings_data();
    void standings();
    void rankingRules_data();
    void rankingRules();
    void scoreText_data();
    void scoreText();
};

void tst_Standings::standings_data()
{
    QTest::addColumn<int>("gameKind");
    QTest::addColumn<QStringList>("players");
    QTest::addColumn<QStringList>("retired");
    QTest::addColumn<QStringList>("heats");
    QTest::addColumn<QStringList>("attempts");
    QTest::addColumn<QStringList>("expected");
    const int strength = int(PlayMode::Strength);
    const int speed = int(PlayMode::Speed);

    QTest::newRow("equal totals share a rank, the next skips")
        << strength << QStringList { "Ann", "Bob", "Cem", "Dai" } << QStringList {}
        << QStringList { "1:Ann,Bob,Cem,Dai" } << QStringList { "1:Ann=100,Bob=120,Cem=120,Dai=90" }
        << QStringList { "1 Bob 120 1 0", "1 Cem 120 1 0", "3 Ann 100 1 0", "4 Dai 90 1 0" };
    QTest::newRow("totals compare in whole revolutions, as shown")
        << strength << QStringList { "Ann", "Bob" } << QStringList {} << QStringList { "1:Ann,Bob" }
        << QStringList { "1:Ann=99.6,Bob=100.4" }
        << QStringList { "1 Ann 100 1 0", "1 Bob 100 1 0" };
    QTest::newRow("revolutions add up over the rounds")
        << strength << QStringList { "Ann", "Bob" } << QStringList {}
        << QStringList { "1:Ann,Bob", "2:Bob,Ann" }
        << QStringList { "1:Ann=100,Bob=150", "2:Bob=40,Ann=100" }
        << QStringList { "1 Ann 200 2 0", "2 Bob 190 2 0" };
    QTest::newRow("an absent player is ranked on what they played and flagged")
        << strength << QStringList { "Ann", "Bob" } << QStringList {}
        << QStringList { "1:Ann,Bob", "2:Bob,Ann" }
        << QStringList { "1:Ann=300,Bob=150", "2:Bob=absent,Ann=100" }
        << QStringList { "1 Ann 400 2 0", "2 Bob 150 1 1" };
    QTest::newRow("a redone heat counts its latest playing only")
        << strength << QStringList { "Ann", "Bob" } << QStringList {} << QStringList { "1:Ann,Bob" }
        << QStringList { "1:Ann=500,Bob=100", "1:Ann=90,Bob=110" }
        << QStringList { "1 Bob 110 1 0", "2 Ann 90 1 0" };
    QTest::newRow("a redo can bring an absent player back")
        << strength << QStringList { "Ann", "Bob" } << QStringList {} << QStringList { "1:Ann,Bob" }
        << QStringList { "1:Ann=absent,Bob=100", "1:Ann=80,Bob=100" }
        << QStringList { "1 Bob 100 1 0", "2 Ann 80 1 0" };
    QTest::newRow("a retired player keeps the results, below the ranked ones")
        << strength << QStringList { "Ann", "Bob", "Cem" } << QStringList { "Ann" }
        << QStringList { "1:Ann,Bob,Cem", "2:Bob,Cem" }
        << QStringList { "1:Ann=900,Bob=100,Cem=50", "2:Bob=100,Cem=50" }
        << QStringList { "1 Bob 200 2 0", "2 Cem 100 2 0", "- Ann 900 1 0 retired" };
    QTest::newRow("nobody is ranked before playing; the next round's heats are not missed yet")
        << strength << QStringList { "Ann", "Bob", "Cem" } << QStringList {}
        << QStringList { "1:Ann,Bob", "1:Cem", "2:Cem,Ann,Bob" }
        << QStringList { "1:Ann=10,Bob=20" }
        << QStringList { "1 Bob 20 1 0", "2 Ann 10 1 0", "- Cem 0 0 0" };
    QTest::newRow("a late arrival has missed the rounds already over")
        << strength << QStringList { "Ann", "Bob", "Late" } << QStringList {}
        << QStringList { "1:Ann,Bob", "2:Late,Ann,Bob" }
        << QStringList { "1:Ann=10,Bob=20", "2:Late=50,Ann=10,Bob=20" }
        << QStringList { "1 Late 50 1 1", "2 Bob 40 2 0", "3 Ann 20 2 0" };
    QTest::newRow("speed ranks the best rpm of any heat")
        << speed << QStringList { "Ann", "Bob", "Cem" } << QStringList {}
        << QStringList { "1:Ann,Bob,Cem", "2:Cem,Ann,Bob" }
        << QStringList { "1:Ann=7000,Bob=9000,Cem=8000", "2:Cem=9000,Ann=7500,Bob=6000" }
        << QStringList { "1 Bob 9000 2 0", "1 Cem 9000 2 0", "3 Ann 7500 2 0" };
}

void tst_Standings::standings()
{
    QFETCH(int, gameKind);
    QFETCH(QStringList, players);
    QFETCH(QStringList, retired);
    QFETCH(QStringList, heats);
    QFETCH(QStringList, attempts);
    QFETCH(QStringList, expected);
    const Competition c = build(PlayMode(gameKind), players, retired, heats, attempts);
    QCOMPARE(describe(Standings(c)), expected);
}

void tst_Standings::rankingRules_data()
{
    QTest::addColumn<int>("gameKind");
    QTest::addColumn<int>("rule");
    QTest::addColumn<QStringList>("heats");
    QTest::addColumn<QStringList>("attempts");
    QTest::addColumn<QStringList>("expected");
    const int strength = int(PlayMode::Strength);
    const int mean = int(RankingRule::Mean);
    const int best = int(RankingRule::Best);
    const QStringList twoRounds { "1:Ann,Bob", "2:Late,Ann,Bob" };

    QTest::newRow("mean: a late arrival level with two full rounds shares the lead")
        << strength << mean << twoRounds
        << QStringList { "1:Ann=100,Bob=200", "2:Late=150,Ann=100,Bob=100" }
        << QStringList { "1 Bob 150 2 0", "1 Late 150 1 1", "3 Ann 100 2 0" };
    QTest::newRow("mean: a missed heat is not a zero")
        << strength << mean << twoRounds
        << QStringList { "1:Ann=300,Bob=200", "2:Late=absent,Ann=absent,Bob=200" }
        << QStringList { "1 Ann 300 1 1", "2 Bob 200 2 0", "- Late 0 0 2" };
    QTest::newRow("mean: compared in whole revolutions, as shown")
        << strength << mean << twoRounds
        << QStringList { "1:Ann=100,Bob=100.6", "2:Late=100.6,Ann=101,Bob=100.6" }
        << QStringList { "1 Ann 101 2 0", "1 Bob 101 2 0", "1 Late 101 1 1" };
    QTest::newRow("mean: a redone heat counts once, with its latest playing")
        << strength << mean << twoRounds
        << QStringList { "1:Ann=900,Bob=100", "1:Ann=90,Bob=110", "2:Late=100,Ann=110,Bob=100" }
        << QStringList { "1 Bob 105 2 0", "2 Ann 100 2 0", "2 Late 100 1 1" };
    QTest::newRow("best heat: a redo replaces the earlier best")
        << strength << best << twoRounds
        << QStringList { "1:Ann=500,Bob=100", "1:Ann=90,Bob=110", "2:Late=120,Ann=100,Bob=40" }
        << QStringList { "1 Late 120 1 1", "2 Bob 110 2 0", "3 Ann 100 2 0" };
    QTest::newRow("speed, mean of the heats' best rpm")
        << int(PlayMode::Speed) << mean << twoRounds
        << QStringList { "1:Ann=7000,Bob=9000", "2:Late=8000,Ann=9000,Bob=6000" }
        << QStringList { "1 Ann 8000 2 0", "1 Late 8000 1 1", "3 Bob 7500 2 0" };
}

void tst_Standings::rankingRules()
{
    QFETCH(int, gameKind);
    QFETCH(int, rule);
    QFETCH(QStringList, heats);
    QFETCH(QStringList, attempts);
    QFETCH(QStringList, expected);
    const QStringList players { "Ann", "Bob", "Late" };
    Competition c = build(PlayMode(gameKind), players, {}, heats, {});
    QVERIFY(SetRankingRule(c, RankingRule(rule)));
    c.attempts = build(PlayMode(gameKind), players, {}, heats, attempts).attempts;
    QCOMPARE(describe(Standings(c)), expected);
    // Once a heat is played the rule stays.
    QVERIFY(!SetRankingRule(c, RankingRule::Total));
    QCOMPARE(c.settings.ranking, RankingRule(rule));
}

void tst_Standings::scoreText_data()
{
    QTest::addColumn<int>("gameKind");
    QTest::addColumn<double>("score");
    QTest::addColumn<QString>("text");
    QTest::newRow("revolutions grouped by thousands")
        << int(PlayMode::Strength) << 12345.6 << QStringLiteral("12,346 rev");
    QTest::newRow("no revolutions") << int(PlayMode::Strength) << 0.0 << QStringLiteral("0 rev");
    QTest::newRow("rpm as the board writes it")
        << int(PlayMode::Speed) << 12000.0 << QStringLiteral("12000 rpm");
}

void tst_Standings::scoreText()
{
    QFETCH(int, gameKind);
    QFETCH(double, score);
    QFETCH(QString, text);
    QCOMPARE(ScoreText(PlayMode(gameKind), score), text);
}

QTEST_GUILESS_MAIN(tst_Standings)
#include "tst_standings.moc"
