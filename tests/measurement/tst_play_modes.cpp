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
Q_DECLARE_METATYPE(speed_mode::Reading)

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
    const ChartTable &chart = f.state.chart;
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
    const MeasurementState before = f.state;

    QVERIFY(!updateOf(mode)(f.state, f.playerRpm, false));

    QCOMPARE(f.playerRpm[player], left);
    QCOMPARE(f.state.players, before.players);
    QCOMPARE(f.state.topRpm, before.topRpm);
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
    QTest::addColumn<speed_mode::Reading>("reading");

    QTest::newRow("Speed reset, as Clear runs it") << Mode::Speed << speed_mode::Reading::Rest;
    QTest::newRow("Strength reset, as a Strength game starts")
        << Mode::Strength << speed_mode::Reading::StrengthRest;
}

// A reset empties its own mode's row, chart and board, leaves the other mode's row alone and
// keeps the records; only the Strength reset zeroes the Strength totals.
void tst_PlayModes::resetClearsBoardButKeepsRecords()
{
    QFETCH(Mode, mode);
    QFETCH(speed_mode::Reading, reading);

    PlayFixture f;
    f.clearBoard();
    f.holdSteady({ 9000, 8000, 7000, 6000 });
    updateOf(mode)(f.state, f.playerRpm, false);
    otherRowOf(mode, f.state) = 42;
    f.state.RevTotal[1] = 100.0;
    f.state.RpmSum[1] = 6000.0;
    f.state.StrengthTicks = 2;

    updateOf(mode)(f.state, f.playerRpm, true);

    QCOMPARE(f.state.reading, reading);
    for (rotavex::PlayerSlot p = 1; p <= 4; ++p) {
        QCOMPARE(f.state.players[p].bar, 0.0);
        QCOMPARE(f.state.players[p].rpm, 0);
    }
    QCOMPARE(f.state.chart, ChartTable {});
    QCOMPARE(rowOf(mode, f.state), qint16(0));
    QCOMPARE(otherRowOf(mode, f.state), qint16(42));
    QCOMPARE(f.state.players[1].record, std::optional<qint32>(9000));
    QCOMPARE(f.state.topRpm, 9000);
    QCOMPARE(f.playerRpm[2], 8000);
    QCOMPARE(f.state.filters[2], speed_mode::FilterState {});
    const bool strength = mode == Mode::Strength;
    QCOMPARE(f.state.RevTotal[1], strength ? 0.0 : 100.0);
    QCOMPARE(f.state.RpmSum[1], strength ? 0.0 : 6000.0);
    QCOMPARE(f.state.StrengthTicks, strength ? 0 : 2);

    // The next tick starts the page afresh (and Strength's totals from zero).
    f.holdSteady({ 2000, 0, 0, 0 });
    updateOf(mode)(f.state, f.playerRpm, false);
    QCOMPARE(f.state.chart.cell(1, 1), ChartTable::Cell { 2000 });
    QCOMPARE(f.state.players[1].rpm, 2000);
    QCOMPARE(f.state.RevTotal[1], strength ? 2000.0 / 60.0 : 100.0);
}

QTEST_GUILESS_MAIN(tst_PlayModes)
#include "tst_play_modes.moc"
