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

QTEST_GUILESS_MAIN(tst_StrengthMode)
#include "tst_strength_mode.moc"
