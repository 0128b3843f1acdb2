// SPDX-License-Identifier: MIT
#include "measurement/speed_mode.h"
#include "play_fixture.h"

#include <QTest>

#include <optional>

Q_DECLARE_METATYPE(std::optional<qint32>)

using speed_mode::ChartTable;
using speed_mode::UpdateSpeedMode;

class tst_SpeedMode : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void tickWritesInOrder();
    void captions_data();
    void captions();
    void playerRecord_data();
    void playerRecord();
    void bigDisplay_data();
    void bigDisplay();
};

// Players at 5000 and 7000 on a cleared board: records, the best of all, bars, colours and the
// chart's first row.
void tst_SpeedMode::tickWritesInOrder()
{
    PlayFixture f;
    f.clearBoard();
    f.holdSteady({ 5000, 7000, 0, 0 });

    QVERIFY(UpdateSpeedMode(f.state, f.playerRpm, false));

    QCOMPARE(f.state.reading, speed_mode::Reading::Speed);
    const std::array<qint32, 4> rpm { 5000, 7000, 0, 0 };
    const std::array<quint32, 4> colours { 0xFFFF80, 0x00FF00, 0xE0E0E0, 0xE0E0E0 };
    for (rotavex::PlayerSlot p = 1; p <= 4; ++p) {
        const speed_mode::PlayerValues &values = f.state.players[p];
        QCOMPARE(values.rpm, rpm[p - 1]);
        QCOMPARE(values.record, std::optional<qint32>(rpm[p - 1]));
        QCOMPARE(values.bar, double(rpm[p - 1]));
        QCOMPARE(values.barColour, std::optional<quint32>(colours[p - 1]));
        QCOMPARE(f.state.chart.cell(1, p), ChartTable::Cell { rpm[p - 1] });
    }
    QCOMPARE(f.state.topRpm, 7000);
    QCOMPARE(f.state.SpeedRow, qint16(1));
}

void tst_SpeedMode::captions_data()
{
    QTest::addColumn<qint32>("rpm");
    QTest::newRow("7500 rpm") << 7500;
    QTest::newRow("no speed") << 0;
    QTest::newRow("top of the range") << 20000;
}

void tst_SpeedMode::captions()
{
    QFETCH(qint32, rpm);

    PlayFixture f;
    f.clearBoard();
    f.holdSteady({ 0, 0, rpm, 0 });
    UpdateSpeedMode(f.state, f.playerRpm, false);

    QCOMPARE(f.state.players[3].rpm, rpm);
    QCOMPARE(f.state.players[3].record, std::optional<qint32>(rpm));
    QCOMPARE(f.state.players[3].bar, double(rpm));
}

void tst_SpeedMode::playerRecord_data()
{
    QTest::addColumn<std::optional<qint32>>("record");
    QTest::addColumn<qint32>("rpm");
    QTest::addColumn<qint32>("after");

    QTest::newRow("no record at start-up takes 0") << std::optional<qint32>() << 0 << 0;
    QTest::newRow("equal sample keeps the record") << std::optional<qint32>(7500) << 7500 << 7500;
    QTest::newRow("higher sample raises the record") << std::optional<qint32>(7500) << 7501 << 7501;
    QTest::newRow("lower sample keeps the record") << std::optional<qint32>(7500) << 7499 << 7500;
}

void tst_SpeedMode::playerRecord()
{
    QFETCH(std::optional<qint32>, record);
    QFETCH(qint32, rpm);
    QFETCH(qint32, after);

    PlayFixture f;
    f.state.players[4].record = record;
    f.holdSteady({ 0, 0, 0, rpm });
    UpdateSpeedMode(f.state, f.playerRpm, false);

    QCOMPARE(f.state.players[4].record, std::optional<qint32>(after));
}

void tst_SpeedMode::bigDisplay_data()
{
    QTest::addColumn<qint32>("shown");
    QTest::addColumn<qint32>("rpm");
    QTest::addColumn<qint32>("expected");

    QTest::newRow("raised by a higher sample") << 7000 << 7001 << 7001;
    QTest::newRow("equal sample keeps the value") << 7500 << 7500 << 7500;
    QTest::newRow("kept above the sample") << 8000 << 7500 << 8000;
}

void tst_SpeedMode::bigDisplay()
{
    QFETCH(qint32, shown);
    QFETCH(qint32, rpm);
    QFETCH(qint32, expected);

    PlayFixture f;
    f.state.topRpm = shown;
    f.holdSteady({ 0, rpm, 0, 0 });
    UpdateSpeedMode(f.state, f.playerRpm, false);

    QCOMPARE(f.state.topRpm, expected);
}

QTEST_GUILESS_MAIN(tst_SpeedMode)
#include "tst_speed_mode.moc"
