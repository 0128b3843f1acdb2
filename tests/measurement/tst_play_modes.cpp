// SPDX-License-Identifier: MIT
// What the Speed and Strength updates share: chart pages, a rejected sample skipping the tick,
// and the reset; each case runs once per mode.
#include "measurement/speed_mode.h"
#include "play_fixture.h"

#include <QLocale>
#include <QTest>

#include <utility>

using speed_mode::ChartTable;
using speed_mode::MeasurementState;

namespace
{

enum class Mode { Speed, Strength };

PlayFixture::Update updateOf(Mode mode)
{
    return mode == Mode::Speed ? speed_mode::UpdateSpeedMode : speed_mode::UpdateStrengthMode;
}

qint16 &rowOf(Mode mode, MeasurementState &state)
{
    return mode == Mode::Speed ? state.SpeedRow : state.StrengthRow;
}

qint16 &otherRowOf(Mode mode, MeasurementState &state)
{
    return mode == Mode::Speed ? state.StrengthRow : state.SpeedRow;
}

} // namespace

Q_DECLARE_METATYPE(Mode)

class tst_PlayModes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void chartPages_data();
    void chartPages();
    void rejectedSampleSkipsTick_data();
    void rejectedSampleSkipsTick();
    void resetClearsBoardButKeepsRecords_data();
    void resetClearsBoardButKeepsRecords();
};

void tst_PlayModes::initTestCase()
{
    // Revolution totals are grouped with the user's separator; pin one for the test.
    QLocale::setDefault(QLocale(QLocale::English));
}

void tst_PlayModes::chartPages_data()
{
    QTest::addColumn<Mode>("mode");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<qint16>("row");
    QTest::addColumn<int>("firstTick");

    for (const auto &[mode, name] :
        { std::pair { Mode::Speed, "Speed" }, std::pair { Mode::Strength, "Strength" } }) {
        const auto row = [name](const char *what) -> QTestData & {
            return QTest::newRow(qPrintable(QStringLiteral("%1: %2").arg(name, what)));
        };
        row("first tick after the reset writes row 1") << mode << 1 << qint16(1) << 1;
        row("90th tick fills the last row") << mode << 90 << qint16(90) << 1;
        row("91st tick starts a new page at row 1") << mode << 91 << qint16(1) << 91;
        row("second page full") << mode << 180 << qint16(90) << 91;
        row("third page begun") << mode << 181 << qint16(1) << 181;
    }
}

// Every sample reaches the chart: row r of the page handed over holds tick firstTick + r - 1,
// and the rows after the current one are empty.
void tst_PlayModes::chartPages()
{
    QFETCH(Mode, mode);
    QFETCH(int, ticks);
    QFETCH(qint16, row);
    QFETCH(int, firstTick);

    PlayFixture f;
    f.clearBoard();
    f.runNumberedTicks(updateOf(mode), ticks);

    QCOMPARE(rowOf(mode, f.state), row);
    QCOMPARE(f.state.StrengthTicks, mode == Mode::Strength ? ticks : 0);
    const ChartTable &chart = f.board.chart();
    for (int r = 1; r <= speed_mode::kChartRows; ++r) {
        const ChartTable::Cell cell = chart.cell(r, 1);
        const bool filled = r <= row;
        QVERIFY2(cell.has_value() == filled && (!filled || *cell == 1000 + firstTick + r - 1),
            qPrintable(QStringLiteral("row %1").arg(r)));
    }
}

void tst_PlayModes::rejectedSampleSkipsTick_data()
{
    QTest::addColumn<Mode>("mode");
    QTest::addColumn<qint16>("player");
    QTest::addColumn<qint32>("left");

    // Speed turns player 1's rejection into "no speed", so its next filter run starts from 0;
    // Strength leaves every -1 as it is.
    QTest::newRow("Speed: player 1 left at 0") << Mode::Speed << qint16(1) << 0;
    QTest::newRow("Speed: player 2 keeps -1") << Mode::Speed << qint16(2) << -1;
    QTest::newRow("Speed: player 3 keeps -1") << Mode::Speed << qint16(3) << -1;
    QTest::newRow("Speed: player 4 keeps -1") << Mode::Speed << qint16(4) << -1;
    QTest::newRow("Strength: player 1 keeps -1") << Mode::Strength << qint16(1) << -1;
    QTest::newRow("Strength: player 2 keeps -1") << Mode::Strength << qint16(2) << -1;
    QTest::newRow("Strength: player 4 keeps -1") << Mode::Strength << qint16(4) << -1;
}

// Nothing is written and nothing counted: rows, totals and chart stay as they were.
void tst_PlayModes::rejectedSampleSkipsTick()
{
    QFETCH(Mode, mode);
    QFETCH(qint16, player);
    QFETCH(qint32, left);

    PlayFixture f;
    f.clearBoard();
    f.runNumberedTicks(updateOf(mode), 3);
    f.holdSteady({ 3000, 3000, 3000, 3000 });
    // 5000 twice in a row against a reference of 3000 gives a median outside the band.
    f.state.filters[player] = { 3000, 3000, 5000, 5000 };
    f.playerRpm[player] = 5000;
    f.board.clearLog();
    const MeasurementState before = f.state;

    updateOf(mode)(f.state, f.playerRpm, f.playerName, f.board, false);

    QCOMPARE(f.playerRpm[player], left);
    QCOMPARE(f.board.log(), QStringList {});
    QCOMPARE(f.state.SpeedRow, before.SpeedRow);
    QCOMPARE(f.state.StrengthRow, before.StrengthRow);
    QCOMPARE(f.state.StrengthTicks, before.StrengthTicks);
    QCOMPARE(f.state.RevTotal, before.RevTotal);
    QCOMPARE(f.state.RpmSum, before.RpmSum);
    QVERIFY(f.state.chart == before.chart);
}

void tst_PlayModes::resetClearsBoardButKeepsRecords_data()
{
    QTest::addColumn<Mode>("mode");
    QTest::addColumn<QString>("zeroCaption");
    QTest::addColumn<QString>("captionAfter");

    QTest::newRow("Speed reset, as Clear runs it") << Mode::Speed << "0 rpm"
                                                   << " 2000 rpm";
    QTest::newRow("Strength reset, as a Strength game starts") << Mode::Strength << "0 rev"
                                                               << "33 rev";
}

// A reset empties its own mode's row, chart and board, leaves the other mode's row alone and
// keeps the records; only the Strength reset zeroes the Strength totals.
void tst_PlayModes::resetClearsBoardButKeepsRecords()
{
    QFETCH(Mode, mode);
    QFETCH(QString, zeroCaption);
    QFETCH(QString, captionAfter);

    PlayFixture f;
    f.clearBoard();
    f.holdSteady({ 9000, 8000, 7000, 6000 });
    updateOf(mode)(f.state, f.playerRpm, f.playerName, f.board, false);
    otherRowOf(mode, f.state) = 42;
    f.state.RevTotal[1] = 100.0;
    f.state.RpmSum[1] = 6000.0;
    f.state.StrengthTicks = 2;
    f.board.clearLog();

    updateOf(mode)(f.state, f.playerRpm, f.playerName, f.board, true);

    QStringList expected;
    for (int p = 1; p <= 4; ++p) {
        expected << QStringLiteral("lblRPM%1.caption=%2").arg(p).arg(zeroCaption)
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
    QCOMPARE(rowOf(mode, f.state), qint16(0));
    QCOMPARE(otherRowOf(mode, f.state), qint16(42));
    QCOMPARE(f.board.recordTag(1), QStringLiteral("9000"));
    QCOMPARE(f.board.bigDisplayValue(), 9000.0);
    QCOMPARE(f.playerRpm[2], 8000);
    QCOMPARE(f.state.filters[2], speed_mode::FilterState {});
    const bool strength = mode == Mode::Strength;
    QCOMPARE(f.state.RevTotal[1], strength ? 0.0 : 100.0);
    QCOMPARE(f.state.RpmSum[1], strength ? 0.0 : 6000.0);
    QCOMPARE(f.state.StrengthTicks, strength ? 0 : 2);

    // The next tick starts the page afresh (and Strength's totals from zero).
    f.holdSteady({ 2000, 0, 0, 0 });
    updateOf(mode)(f.state, f.playerRpm, f.playerName, f.board, false);
    QCOMPARE(f.board.chart().cell(1, 1), ChartTable::Cell { 2000 });
    QCOMPARE(f.board.speedCaption(1), captionAfter);
}

QTEST_GUILESS_MAIN(tst_PlayModes)
#include "tst_play_modes.moc"
