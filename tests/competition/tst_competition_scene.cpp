// SPDX-License-Identifier: MIT
#include "competition/competition_scene.h"
#include "display/frm_display.h"

#include <QFontMetrics>
#include <QTest>

using namespace competition;

namespace
{

BoardShown evening(int players, bool called)
{
    BoardShown shown;
    shown.competition = QStringLiteral("Friday night at the Rotavex club, autumn cup");
    shown.title = QStringLiteral("Heat 13 of 24");
    if (called) {
        shown.seats = { QStringLiteral("<b>Maximilian-Alexander Wolkenstein</b>"),
            QStringLiteral("Bob"), QString(), QStringLiteral("Zoë") };
    }
    shown.onDeck = QStringLiteral("Next: Ann, Cem, Dai, Eve");
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
    QTest::addColumn<bool>("called");
    for (const QSize size :
        { QSize(1920, 1080), QSize(1280, 720), QSize(1024, 768), QSize(640, 360) }) {
        for (const int players : { 3, 9, 40 }) {
            for (const bool called : { true, false }) {
                QTest::addRow("%dx%d, %d players, %s", size.width(), size.height(), players,
                    called ? "heat called" : "between heats")
                    << size << players << called;
            }
        }
    }
}

void tst_CompetitionScene::legibleFromAcrossTheRoom()
{
    QFETCH(QSize, size);
    QFETCH(int, players);
    QFETCH(bool, called);
    frmDisplay display;
    display.resize(size);
    display.showBetweenHeats(BetweenHeats(evening(players, called)));
    QCOMPARE(display.size(), size);
    const std::vector<frmDisplay::DrawnText> texts = display.drawnTexts();
    const QRect window(QPoint(0, 0), size);
    int rows = 0;
    int more = 0;
    bool seatsShown = false;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const frmDisplay::DrawnText &drawn = texts[i];
        const scoreboard::TextItem &item = drawn.item;
        const QString id = item.id;
        QVERIFY2(window.contains(item.area), qPrintable(id));
        for (std::size_t j = i + 1; j < texts.size(); ++j) {
            QVERIFY2(!item.area.intersects(texts[j].item.area),
                qPrintable(id + QStringLiteral(" overlaps ") + texts[j].item.id));
        }
        QVERIFY2(scoreboard::ContrastRatio(item.colour, item.background) >= 7.0, qPrintable(id));
        const QFontMetrics metrics(drawn.font);
        QVERIFY2(metrics.horizontalAdvance(drawn.text) <= item.area.width(), qPrintable(id));
        QVERIFY2(metrics.height() <= item.area.height(), qPrintable(id));
        if (id == QLatin1String("heatTitle")) {
            // The heat number reads across a room: digits at least a twelfth of the height.
            const int digits = metrics.tightBoundingRect(QStringLiteral("0123456789")).height();
            QVERIFY2(digits * 12 >= size.height(), qPrintable(QString::number(digits)));
        }
        if (id.startsWith(QLatin1String("name"))) {
            ++rows;
            // A standings line is at least a thirtieth of the height: readable from the back.
            QVERIFY2(drawn.font.pixelSize() * 30 >= size.height(),
                qPrintable(id + QString::number(drawn.font.pixelSize())));
        }
        if (id == QLatin1String("name2") || id == QLatin1String("seatName1")) {
            QVERIFY2(drawn.text.startsWith(QStringLiteral("<b>")), qPrintable(drawn.text));
        }
        if (id == QLatin1String("more")) {
            more = item.text.section(QLatin1Char(' '), 2, 2).toInt();
        }
        seatsShown = seatsShown || id.startsWith(QLatin1String("seatName"));
    }
    QCOMPARE(seatsShown, called);
    // Every player is either on a line or counted in the last one.
    QCOMPARE(rows + more, players);
    QVERIFY(rows >= std::min(players, 5));
}

QTEST_MAIN(tst_CompetitionScene)
#include "tst_competition_scene.moc"
