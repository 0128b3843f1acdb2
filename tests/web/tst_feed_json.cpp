// SPDX-License-Identifier: MIT
#include "web/feed_json.h"
#include "web/web_settings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

Q_DECLARE_METATYPE(rotavex::PlayMode)
Q_DECLARE_METATYPE(game::Reading)

namespace
{

// "a/2/b" -> the value at that path of the feed: object keys and array indexes.
QJsonValue at(QJsonValue value, const QString &path)
{
    for (const QString &step : path.split(QLatin1Char('/'))) {
        bool index = false;
        const int n = step.toInt(&index);
        value = index ? value.toArray().at(n) : value.toObject().value(step);
    }
    return value;
}

} // namespace

class tst_FeedJson : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void format_data();
    void format();
    void port_data();
    void port();
};

void tst_FeedJson::format_data()
{
    QTest::addColumn<rotavex::PlayMode>("mode");
    QTest::addColumn<game::Reading>("reading");
    QTest::addColumn<bool>("running");
    QTest::addColumn<bool>("ranOut");
    QTest::addColumn<int>("board"); // 0 none, else the ranking rule of a competition
    QTest::addColumn<int>("countIn");
    QTest::addColumn<QStringList>("expected"); // "path=JSON value"

    using game::Reading;
    using rotavex::PlayMode;
    const int total = int(competition::RankingRule::Total);
    const int mean = int(competition::RankingRule::Mean);
    const int best = int(competition::RankingRule::Best);
    QTest::newRow("start-up: nothing played, no result, no competition")
        << PlayMode::Unset << Reading::Rest << false << false << 0 << 0
        << QStringList { "version=2", "mode=\"none\"", "players/0/live=0", "players/0/unit=\"rpm\"",
               "players/0/leader=false", "result=null", "competition=null" };
    QTest::newRow("speed game: live rpm, the best record leads, names exactly as typed")
        << PlayMode::Speed << Reading::Speed << true << false << 0 << 0
        << QStringList { "mode=\"speed\"", "running=true", "players/1/live=7600",
               "players/1/leader=true", "players/0/leader=false", "players/2/name=\"<b>Cy</b>\"",
               "players/0/name=\"–\"", "players/1/name=\"  \"", "players/3/name=\"—\"",
               "players/1/bar=0.25", "topRpm=9000", "players/3/seat=4",
               "players/0/colour=\"#ff0000\"", "players/3/seated=false", "players/0/seated=true",
               "players/0/linked=true", "players/1/linked=false" };
    QTest::newRow("strength game: whole revolutions lead, the countdown goes along")
        << PlayMode::Strength << Reading::Strength << true << false << 0 << 0
        << QStringList { "players/0/live=313", "players/0/unit=\"rev\"", "players/0/leader=true",
               "players/3/leader=true", "countdown=17", "result=null" };
    QTest::newRow("countdown ran out: participants ranked, ties share a place, dashes are names")
        << PlayMode::Strength << Reading::Strength << false << true << 0 << 0
        << QStringList { "result/0/rank=1", "result/1/rank=1", "result/0/seat=1", "result/1/seat=4",
               "result/0/name=\"–\"", "result/1/name=\"—\"", "result/2/rank=3",
               "result/2/name=\"  \"", "result/2/meanRpm=5000", "result/2/bestRpm=7600",
               "result/3=absent" };
    QTest::newRow("between heats, total: the heat, empty seats flagged, standings as numbers")
        << PlayMode::Strength << Reading::Strength << false << true << total << 0
        << QStringList { "competition/name=\"Friday cup\"", "competition/heat=2",
               "competition/heats=3", "competition/seats/0/device=1",
               "competition/seats/0/name=\"–\"", "competition/seats/0/seated=true",
               "competition/seats/1/name=\"\"", "competition/seats/1/seated=false",
               "competition/seats/2/name=\"<b>Bo</b>\"", "competition/next/heat=3",
               "competition/next/names=[\"Di\",\"Ed\"]", "competition/gameKind=\"strength\"",
               "competition/rule=\"total\"", "competition/standings/0/name=\"–\"",
               "competition/standings/0/rank=1", "competition/standings/0/score=1235",
               "competition/standings/0/unit=\"rev\"", "competition/standings/0/rounds=2",
               "competition/standings/1/rank=1", "competition/standings/2/rank=3",
               "competition/standings/2/missed=1", "competition/standings/3/rank=null",
               "competition/standings/3/retired=true", "competition/standings/4/rank=null",
               "competition/standings/4/rounds=0", "competition/standings/5=absent",
               "players/0/live=313" };
    QTest::newRow("between heats, mean: the rule's key")
        << PlayMode::Strength << Reading::Strength << false << false << mean << 0
        << QStringList { "competition/rule=\"mean\"", "competition/standings/0/unit=\"rev\"" };
    QTest::newRow("final standings of a speed competition: no heat, seats or next heat")
        << PlayMode::Speed << Reading::Speed << false << false << -best << 0
        << QStringList { "competition/heat=null", "competition/seats=[]", "competition/next=null",
               "competition/rule=\"best\"", "competition/gameKind=\"speed\"",
               "competition/standings/0/unit=\"rpm\"", "competition/standings/0/score=1235" };
    QTest::newRow("a heat counting in: the count, and the game, not the competition")
        << PlayMode::Strength << Reading::Strength << false << false << total << 2
        << QStringList { "countIn=2", "competition=null", "running=false" };
    QTest::newRow("a heat's game running: the game, not the competition")
        << PlayMode::Strength << Reading::Strength << true << false << total << 0
        << QStringList { "competition=null", "running=true" };
}

void tst_FeedJson::format()
{
    QFETCH(rotavex::PlayMode, mode);
    QFETCH(game::Reading, reading);
    QFETCH(bool, running);
    QFETCH(bool, ranOut);
    QFETCH(int, board);
    QFETCH(int, countIn);
    QFETCH(QStringList, expected);

    game::Snapshot snapshot;
    snapshot.mode = mode;
    snapshot.reading = reading;
    snapshot.running = running;
    snapshot.ranOut = ranOut;
    snapshot.countdownSeconds = 17;
    snapshot.countIn = countIn;
    snapshot.topRpm = 9000;
    // A dash, blanks and an em dash are names like any other; only `seated` tells a free seat.
    const QStringList names { "–", "  ", "<b>Cy</b>", "—" };
    const double revolutions[] { 312.6, 120.0, 40.0, 313.4 };
    const qint32 records[] { 7000, 7600, 5000, 6800 };
    for (rotavex::PlayerSlot n = 1; n <= 4; ++n) {
        game::PlayerSnapshot &p = snapshot.players[n];
        p.name = names[n - 1];
        p.rpm = records[n - 1];
        p.revolutions = revolutions[n - 1];
        p.record = records[n - 1];
        p.bar = n == 2 ? 5000.0 : 4000.0;
        p.participating = n != 3;
    }
    snapshot.players[1].barColour = 0x000000FF; // red in the low byte
    snapshot.players[2].rpm = 7600;
    snapshot.players[4].seated = false;
    std::optional<evening::BetweenHeats> betweenHeats;
    if (board != 0) {
        using competition::Standing;
        evening::BetweenHeats shown;
        shown.competition = QStringLiteral("Friday cup");
        shown.heatCount = 3;
        shown.gameKind = board < 0 ? rotavex::PlayMode::Speed : rotavex::PlayMode::Strength;
        shown.rule = competition::RankingRule(std::abs(board));
        if (board > 0) {
            shown.heat = 2;
            shown.seats = { { QStringLiteral("–"), true }, {},
                { QStringLiteral("<b>Bo</b>"), true }, { QStringLiteral("Di"), true } };
            shown.nextHeat = 3;
            shown.nextNames = QStringList { "Di", "Ed" };
        }
        shown.standings = {
            Standing { 1, QStringLiteral("–"), 1, 1234.5, 2, 0, false },
            Standing { 2, QStringLiteral("Ann"), 1, 1234.6, 2, 0, false },
            Standing { 3, QStringLiteral("Di"), 3, 900.0, 1, 1, false },
            Standing { 4, QStringLiteral("Bo"), 0, 120.0, 1, 0, true },
            Standing { 5, QStringLiteral("Ed"), 0, 0.0, 0, 1, false },
        };
        betweenHeats = shown;
    }
    rotavex::PerPlayer<bool> linked;
    linked[1] = true;
    const QJsonObject feed =
        QJsonDocument::fromJson(web::FeedJson(evening::StateFrom(snapshot, linked, betweenHeats)))
            .object();
    for (const QString &check : expected) {
        const QString path = check.section(QLatin1Char('='), 0, 0);
        const QJsonValue want =
            QJsonDocument::fromJson("[" + check.section(QLatin1Char('='), 1).toUtf8() + "]")
                .array()
                .at(0);
        QJsonValue got = at(feed, path);
        if (check.endsWith(QLatin1String("=absent"))) {
            QVERIFY2(got.isUndefined(), qPrintable(check));
        } else if (got.isDouble() && want.isDouble()) {
            QVERIFY2(qAbs(got.toDouble() - want.toDouble()) < 0.005, qPrintable(check));
        } else {
            QVERIFY2(got == want,
                qPrintable(check + QStringLiteral(" got ")
                    + QString::fromUtf8(
                        QJsonDocument(QJsonArray { got }).toJson(QJsonDocument::Compact))));
        }
    }
}

void tst_FeedJson::port_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("port");

    QTest::newRow("a port") << "8081" << 8081;
    QTest::newRow("spaces around") << " 9000 " << 9000;
    QTest::newRow("zero is no port") << "0" << -1;
    QTest::newRow("beyond the range") << "65536" << -1;
    QTest::newRow("not a number") << "http" << -1;
    QTest::newRow("signed") << "+80" << -1;
}

void tst_FeedJson::port()
{
    QFETCH(QString, stored);
    QFETCH(int, port);
    QCOMPARE(web::PortFromText(stored).value_or(0), port < 0 ? 0 : port);
}

QTEST_GUILESS_MAIN(tst_FeedJson)
#include "tst_feed_json.moc"
