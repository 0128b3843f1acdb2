// SPDX-License-Identifier: MIT
#include "measurement/speed_mode.h"
#include "play_fixture.h"

#include <QLocale>
#include <QTest>

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
    void rejectedSampleSkipsTick_data();
    void rejectedSampleSkipsTick();
    void chartPages_data();
    void chartPages();
    void resetStartsFromZero();
};

void tst_StrengthMode::initTestCase()
{
    // The revolution total is grouped with the user's separator; pin one for the test.
    QLocale::setDefault(QLocale(QLocale::English));
}

// From start-up: row, chart and totals first, then records, then each player's name,
// revolutions and bar together, then colours and the chart.
void tst_StrengthMode::firstTickWritesInOrder()
{
    PlayFixture f;
    f.holdSteady({ 1200, 0, 0, 0 });

    UpdateStrengthMode(f.state, f.playerRpm, f.playerName, f.board, false);

    const QStringList expected {
        "lblHI1.tag=1200",
        "lblHI1.caption=1200 rpm max",
        "CurSpeed.value=1200",
        "lblHI2.tag=0",
        "lblHI2.caption=0 rpm max",
        "lblHI3.tag=0",
        "lblHI3.caption=0 rpm max",
        "lblHI4.tag=0",
        "lblHI4.caption=0 rpm max",
        "lblName1.caption=Ann",
        "lblRPM1.caption=20 rev",
        "pbar1.value=1200",
        "lblName2.caption=Ben",
        "lblRPM2.caption= rev",
        "pbar2.value=0",
        "lblName3.caption=Cy",
        "lblRPM3.caption= rev",
        "pbar3.value=0",
        "lblName4.caption=Dee",
        "lblRPM4.caption= rev",
        "pbar4.value=0",
        "pbar1.colour=E0E0E0",
        "pbar2.colour=E0E0E0",
        "pbar3.colour=E0E0E0",
        "pbar4.colour=E0E0E0",
        "MSChart1.data",
        "MSChart1.column1.label=Ann",
        "MSChart1.column2.label=Ben",
        "MSChart1.column3.label=Cy",
        "MSChart1.column4.label=Dee",
    };
    QCOMPARE(f.board.log(), expected);
    QCOMPARE(f.state.StrengthRow, qint16(1));
    QCOMPARE(f.state.StrengthTicks, 1);
    QCOMPARE(f.state.RevTotal[1], 20.0);
    QCOMPARE(f.board.chart().cell(1, 1), ChartTable::Cell { 1200 });
}

void tst_StrengthMode::revolutionCaption_data()
{
    QTest::addColumn<double>("revolutionsBefore");
    QTest::addColumn<qint32>("rpm");
    QTest::addColumn<QString>("caption");

    QTest::newRow("nothing yet shows no digits") << 0.0 << 0 << " rev";
    QTest::newRow("under half a revolution shows no digits") << 0.4 << 0 << " rev";
    QTest::newRow("one second at 1200 rpm") << 0.0 << 1200 << "20 rev";
    QTest::newRow("rounded to the nearest revolution") << 0.0 << 1000 << "17 rev";
    QTest::newRow("thousands grouped") << 1180.0 << 1200 << "1,200 rev";
    QTest::newRow("millions grouped") << 1234566.6 << 0 << "1,234,567 rev";
}

void tst_StrengthMode::revolutionCaption()
{
    QFETCH(double, revolutionsBefore);
    QFETCH(qint32, rpm);
    QFETCH(QString, caption);

    PlayFixture f;
    f.state.RevTotal[2] = revolutionsBefore;
    f.holdSteady({ 0, rpm, 0, 0 });
    UpdateStrengthMode(f.state, f.playerRpm, f.playerName, f.board, false);

    QCOMPARE(f.board.speedCaption(2), caption);
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
        UpdateStrengthMode(f.state, f.playerRpm, f.playerName, f.board, false);
    }
    if (resetAfterThem) {
        UpdateStrengthMode(f.state, f.playerRpm, f.playerName, f.board, true);
    }
    for (const qint32 rpm : samples) {
        f.holdSteady({ rpm, 0, 0, 0 });
        UpdateStrengthMode(f.state, f.playerRpm, f.playerName, f.board, false);
    }

    QCOMPARE(f.board.barValue(1), bar);
}

void tst_StrengthMode::rejectedSampleSkipsTick_data()
{
    QTest::addColumn<qint16>("player");

    QTest::newRow("player 1") << qint16(1);
    QTest::newRow("player 2") << qint16(2);
    QTest::newRow("player 4") << qint16(4);
}

// Unlike Speed mode, player 1's -1 stays too; the totals do not move.
void tst_StrengthMode::rejectedSampleSkipsTick()
{
    QFETCH(qint16, player);

    PlayFixture f;
    f.runNumberedTicks(UpdateStrengthMode, 2);
    f.holdSteady({ 3000, 3000, 3000, 3000 });
    f.state.filters[player] = { 3000, 3000, 5000, 5000 };
    f.playerRpm[player] = 5000;
    f.board.clearLog();
    const speed_mode::MeasurementState before = f.state;

    UpdateStrengthMode(f.state, f.playerRpm, f.playerName, f.board, false);

    QCOMPARE(f.playerRpm[player], -1);
    QCOMPARE(f.board.log(), QStringList {});
    QCOMPARE(f.state.StrengthRow, before.StrengthRow);
    QCOMPARE(f.state.StrengthTicks, before.StrengthTicks);
    QCOMPARE(f.state.RevTotal, before.RevTotal);
    QCOMPARE(f.state.RpmSum, before.RpmSum);
    QVERIFY(f.state.chart == before.chart);
}

void tst_StrengthMode::chartPages_data()
{
    QTest::addColumn<int>("ticks");
    QTest::addColumn<qint16>("row");
    QTest::addColumn<int>("firstTick");

    QTest::newRow("first tick after start-up writes row 1") << 1 << qint16(1) << 1;
    QTest::newRow("90th tick fills the last row") << 90 << qint16(90) << 1;
    QTest::newRow("91st tick starts a new page at row 1") << 91 << qint16(1) << 91;
    QTest::newRow("second page full") << 180 << qint16(90) << 91;
}

void tst_StrengthMode::chartPages()
{
    QFETCH(int, ticks);
    QFETCH(qint16, row);
    QFETCH(int, firstTick);

    PlayFixture f;
    f.runNumberedTicks(UpdateStrengthMode, ticks);

    QCOMPARE(f.state.StrengthRow, row);
    QCOMPARE(f.state.StrengthTicks, ticks);
    const ChartTable &chart = f.board.chart();
    for (int r = 1; r <= speed_mode::kChartRows; ++r) {
        // A filled row holds its tick's sample; every later row is empty.
        const ChartTable::Cell cell = chart.cell(r, 1);
        const bool filled = r <= row;
        QVERIFY2(cell.has_value() == filled && (!filled || *cell == 1000 + firstTick + r - 1),
            qPrintable(QStringLiteral("row %1").arg(r)));
    }
}

void tst_StrengthMode::resetStartsFromZero()
{
    PlayFixture f;
    f.runNumberedTicks(UpdateStrengthMode, 5);
    f.state.SpeedRow = 7;
    f.board.clearLog();

    UpdateStrengthMode(f.state, f.playerRpm, f.playerName, f.board, true);

    QStringList expected;
    for (int p = 1; p <= 4; ++p) {
        expected << QStringLiteral("lblRPM%1.caption=0 rev").arg(p)
                 << QStringLiteral("lblHI%1.caption=0 rpm").arg(p)
                 << QStringLiteral("pbar%1.value=0").arg(p);
    }
    expected << "MSChart1.data"
             << "MSChart1.column1.label=Ann"
             << "MSChart1.column2.label=Ben"
             << "MSChart1.column3.label=Cy"
             << "MSChart1.column4.label=Dee";
    QCOMPARE(f.board.log(), expected);
    QCOMPARE(f.board.chart(), ChartTable {});
    QCOMPARE(f.state.StrengthRow, qint16(0));
    QCOMPARE(f.state.StrengthTicks, 0);
    QCOMPARE(f.state.RevTotal, rotavex::PerPlayer<double> {});
    QCOMPARE(f.state.RpmSum, rotavex::PerPlayer<double> {});
    QCOMPARE(f.state.filters[1], speed_mode::FilterState {});
    QCOMPARE(f.state.SpeedRow, qint16(7));
    QCOMPARE(f.board.recordTag(1), QStringLiteral("1005"));
    QCOMPARE(f.board.bigDisplayValue(), 1005.0);

    f.holdSteady({ 2000, 0, 0, 0 });
    UpdateStrengthMode(f.state, f.playerRpm, f.playerName, f.board, false);
    QCOMPARE(f.board.chart().cell(1, 1), ChartTable::Cell { 2000 });
    QCOMPARE(f.board.speedCaption(1), QStringLiteral("33 rev"));
}

QTEST_GUILESS_MAIN(tst_StrengthMode)
#include "tst_strength_mode.moc"
