// SPDX-License-Identifier: MIT
#include "competition/competition_scene.h"
#include "display/frm_display.h"

#include <QFontMetrics>
#include <QSet>
#include <QTest>

using namespace competition;

namespace
{

enum class Moment { HeatCalled, BetweenHeats, Final };

evening::BetweenHeats sampleEvening(int players, Moment moment)
{
    evening::BetweenHeats shown;
    shown.competition = QStringLiteral("Friday night at the Rotavex club, autumn cup");
    shown.heatCount = 24;
    shown.rule = RankingRule::Mean;
    if (moment == Moment::HeatCalled) {
        shown.seats = { { QStringLiteral("<b>Maximilian-Alexander Wolkenstein</b>"), true },
            { QStringLiteral("Bob"), true }, {}, { QStringLiteral("Zoë"), true } };
    }
    if (moment != Moment::Final) {
        shown.heat = 13;
        shown.nextHeat = 14;
        shown.nextNames = QStringList { "Ann", "Cem", "Dai", "Eve" };
    }
    for (int i = 0; i < players; ++i) {
        Standing line;
        line.player = i + 1;
        line.name = i == 1 ? QStringLiteral("<b>Bartholomew Longname-Featherstonehaugh</b>")
                           : QStringLiteral("Player %1").arg(i + 1);
        line.rank = i < 2 ? 1 : i + 1;
        line.score = 123456.0 - i * 1000;
        line.roundsPlayed = 8;
        line.roundsMissed = i % 7 == 3 ? 1 : 0;
        line.retired = i == players - 1 && players > 4;
        shown.standings.append(line);
    }
    return shown;
}

} // namespace

class tst_CompetitionScene : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void legibleFromAcrossTheRoom_data();
    void legibleFromAcrossTheRoom();
};

void tst_CompetitionScene::legibleFromAcrossTheRoom_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("players");
    QTest::addColumn<Moment>("moment");
    const std::pair<Moment, const char *> moments[] = { { Moment::HeatCalled, "heat called" },
        { Moment::BetweenHeats, "between heats" }, { Moment::Final, "final standings" } };
    for (const QSize size :
        { QSize(1920, 1080), QSize(1280, 720), QSize(1024, 768), QSize(640, 360) }) {
        for (const int players : { 3, 9, 40 }) {
            for (const auto &[moment, name] : moments) {
                QTest::addRow("%dx%d, %d players, %s", size.width(), size.height(), players, name)
                    << size << players << moment;
            }
        }
    }
}

void tst_CompetitionScene::legibleFromAcrossTheRoom()
{
    QFETCH(QSize, size);
    QFETCH(int, players);
    QFETCH(Moment, moment);
    frmDisplay display;
    display.resize(size);
    evening::ScoreboardState state;
    state.betweenHeats = sampleEvening(players, moment);
    display.showState(state);
    QCOMPARE(display.size(), size);
    // Every page of the picture as it turns, each text with its page.
    std::vector<frmDisplay::DrawnText> texts;
    std::vector<int> pageOf;
    int pages = 1;
    for (int page = 1; page <= pages; ++page, display.turnPage()) {
        for (const frmDisplay::DrawnText &drawn : display.drawnTexts()) {
            texts.push_back(drawn);
            pageOf.push_back(page);
            if (drawn.item.id == QLatin1String("page")) {
                QCOMPARE(drawn.item.text.section(QLatin1Char(' '), 1, 1).toInt(), page);
                pages = drawn.item.text.section(QLatin1Char(' '), 3, 3).toInt();
            }
        }
    }
    const QRect window(QPoint(0, 0), size);
    QSet<QString> rows;
    int leaderLines = 0;
    int firstPageRows = 0;
    bool seatsShown = false;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const frmDisplay::DrawnText &drawn = texts[i];
        const scoreboard::TextItem &item = drawn.item;
        const QString id = item.id;
        QVERIFY2(window.contains(item.area), qPrintable(id));
        for (std::size_t j = i + 1; j < texts.size() && pageOf[j] == pageOf[i]; ++j) {
            QVERIFY2(!item.area.intersects(texts[j].item.area),
                qPrintable(id + QStringLiteral(" overlaps ") + texts[j].item.id));
        }
        QVERIFY2(scoreboard::ContrastRatio(item.colour, item.background) >= 7.0, qPrintable(id));
        const QFontMetrics metrics(drawn.font);
        QVERIFY2(metrics.horizontalAdvance(drawn.text) <= item.area.width(), qPrintable(id));
        QVERIFY2(metrics.height() <= item.area.height(), qPrintable(id));
        if (id == QLatin1String("heatTitle") && moment != Moment::Final) {
            // The heat number reads across a room: digits at least a twelfth of the height.
            const int digits = metrics.tightBoundingRect(QStringLiteral("0123456789")).height();
            QVERIFY2(digits * 12 >= size.height(), qPrintable(QString::number(digits)));
        }
        if (id.startsWith(QLatin1String("name"))) {
            rows.insert(id);
            leaderLines += id.mid(4).toInt() <= 3;
            firstPageRows += pageOf[i] == 1;
            // A standings line is at least a thirtieth of the height: readable from the back.
            QVERIFY2(drawn.font.pixelSize() * 30 >= size.height(),
                qPrintable(id + QString::number(drawn.font.pixelSize())));
        }
        if (id == QLatin1String("name2") || id == QLatin1String("seatName1")) {
            QVERIFY2(drawn.text.startsWith(QStringLiteral("<b>")), qPrintable(drawn.text));
        }
        if (id == QLatin1String("head_rule")) {
            QVERIFY(item.text.endsWith(QStringLiteral("mean revolutions per heat played")));
        }
        seatsShown = seatsShown || id.startsWith(QLatin1String("seatName"));
    }
    QCOMPARE(seatsShown, moment == Moment::HeatCalled);
    // Every player is on a page, the leaders on every one.
    QCOMPARE(rows.size(), players);
    QCOMPARE(leaderLines, std::min(players, 3) * pages);
    QVERIFY(firstPageRows >= std::min(players, 5));
    QVERIFY(size != QSize(1920, 1080) || pages <= 3);
}

QTEST_MAIN(tst_CompetitionScene)
#include "tst_competition_scene.moc"
