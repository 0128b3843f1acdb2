// SPDX-License-Identifier: MIT
#include "measurement/speed_mode.h"
#include "play_fixture.h"

#include <QLocale>
#include <QTest>

#include <optional>

using speed_mode::ChartTable;
using speed_mode::UpdateStrengthMode;

class tst_StrengthMode : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void firstTickWritesInOrder();
    void revolutionCaption_data();
    void revolutionCaption();
    void meanBar_data();
    void meanBar();
};

void tst_StrengthMode::initTestCase()
{
    // The revolution total is grouped with the user's separator; pin one for the test.
    QLocale::setDefault(QLocale(QLocale::English));
}

// From start-up: row, chart, totals, records ("rpm max" on the board), bars and colours.
void tst_StrengthMode::firstTickWritesInOrder()
{
    PlayFixture f;
    f.holdSteady({ 1200, 0, 0, 0 });

    QVERIFY(UpdateStrengthMode(f.state, f.playerRpm, false));

    QCOMPARE(f.state.reading, speed_mode::Reading::Strength);
    QCOMPARE(f.state.StrengthRow, qint16(1));
    QCOMPARE(f.state.StrengthTicks, 1);
    QCOMPARE(f.state.RevTotal[1], 20.0);
    QCOMPARE(f.state.chart.cell(1, 1), ChartTable::Cell { 1200 });
    QCOMPARE(f.state.players[1].record, std::optional<qint32>(1200));
    QCOMPARE(f.state.players[2].record, std::optional<qint32>(0));
    QCOMPARE(f.state.topRpm, 1200);
    QCOMPARE(f.state.players[1].bar, 1200.0);
    QCOMPARE(f.state.players[1].barColour, std::optional<quint32>(0xE0E0E0));
}

void tst_StrengthMode::revolutionCaption_data()
{
    QTest::addColumn<double>("revolutionsBefore");
    QTest::addColumn<qint32>("rpm");
    QTest::addColumn<double>("revolutions");

    QTest::newRow("nothing yet") << 0.0 << 0 << 0.0;
    QTest::newRow("one second at 1200 rpm") << 0.0 << 1200 << 20.0;
    QTest::newRow("added to what was there") << 1180.0 << 1200 << 1200.0;
}

void tst_StrengthMode::revolutionCaption()
{
    QFETCH(double, revolutionsBefore);
    QFETCH(qint32, rpm);
    QFETCH(double, revolutions);

    PlayFixture f;
    f.state.RevTotal[2] = revolutionsBefore;
    f.holdSteady({ 0, rpm, 0, 0 });
    UpdateStrengthMode(f.state, f.playerRpm, false);

    QCOMPARE(f.state.RevTotal[2], revolutions);
}

void tst_StrengthMode::meanBar_data()
{
    QTest::addColumn<int>("ticksAt1000");
    QTest::addColumn<bool>("resetAfterThem");
    QTest::addColumn<QList<qint32>>("samples");
    QTest::addColumn<double>("bar");

    QTest::newRow("single tick") << 0 << false << QList<qint32> { 1200 } << 1200.0;
    QTest::newRow("mean rounded down") << 0 << false << QList<qint32> { 1000, 1001 } << 1000.0;
    QTest::newRow("mean kept across a page end") << 90 << false << QList<qint32> { 1900 } << 1009.0;
    QTest::newRow("mean starts again after the reset")
        << 5 << true << QList<qint32> { 3000, 3002 } << 3001.0;
    QTest::newRow("mean goes on after a resume")
        << 2 << false << QList<qint32> { 3000, 3000 } << 2000.0;
}

void tst_StrengthMode::meanBar()
{
    QFETCH(int, ticksAt1000);
    QFETCH(bool, resetAfterThem);
    QFETCH(QList<qint32>, samples);
    QFETCH(double, bar);

    PlayFixture f;
    for (int k = 0; k < ticksAt1000; ++k) {
        f.holdSteady({ 1000, 0, 0, 0 });
        UpdateStrengthMode(f.state, f.playerRpm, false);
    }
    if (resetAfterThem) {
        UpdateStrengthMode(f.state, f.playerRpm, true);
    } else if (ticksAt1000 > 0 && ticksAt1000 < 90) {
        speed_mode::ResumeStrengthMode(f.state, f.playerRpm);
        QCOMPARE(f.state.players[1].bar, 0.0);
    }
    for (const qint32 rpm : samples) {
        f.holdSteady({ rpm, 0, 0, 0 });
        UpdateStrengthMode(f.state, f.playerRpm, false);
    }

    QCOMPARE(f.state.players[1].bar, bar);
}

QTEST_GUILESS_MAIN(tst_StrengthMode)
#include "tst_strength_mode.moc"
