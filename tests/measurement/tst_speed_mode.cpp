// SPDX-License-Identifier: MIT
#include "measurement/speed_mode.h"
#include "play_fixture.h"

#include <QTest>

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

// Players at 5000 and 7000 on a cleared board: records first, then each player's name,
// speed and bar together, then colours and the chart.
void tst_SpeedMode::tickWritesInOrder()
{
    PlayFixture f;
    f.clearBoard();
    f.holdSteady({ 5000, 7000, 0, 0 });

    UpdateSpeedMode(f.state, f.playerRpm, f.playerName, f.board, false);

    const QStringList expected {
        "lblHI1.tag=5000",
        "lblHI1.caption=5000 rpm",
        "CurSpeed.value=5000",
        "lblHI2.tag=7000",
        "lblHI2.caption=7000 rpm",
        "CurSpeed.value=7000",
        "lblHI3.tag=0",
        "lblHI3.caption=0 rpm",
        "lblHI4.tag=0",
        "lblHI4.caption=0 rpm",
        "lblName1.caption=Ann",
        "lblRPM1.caption= 5000 rpm",
        "pbar1.value=5000",
        "lblName2.caption=Ben",
        "lblRPM2.caption= 7000 rpm",
        "pbar2.value=7000",
        "lblName3.caption=Cy",
        "lblRPM3.caption= 0 rpm",
        "pbar3.value=0",
        "lblName4.caption=Dee",
        "lblRPM4.caption= 0 rpm",
        "pbar4.value=0",
        "pbar1.colour=FFFF80",
        "pbar2.colour=00FF00",
        "pbar3.colour=E0E0E0",
        "pbar4.colour=E0E0E0",
        "MSChart1.data",
        "MSChart1.column1.label=Ann",
        "MSChart1.column2.label=Ben",
        "MSChart1.column3.label=Cy",
        "MSChart1.column4.label=Dee",
    };
    QCOMPARE(f.board.log(), expected);
    QCOMPARE(f.board.bigDisplayValue(), 7000.0);
    QCOMPARE(f.board.chart().cell(1, 2), ChartTable::Cell { 7000 });
}

void tst_SpeedMode::captions_data()
{
    QTest::addColumn<qint32>("rpm");
    QTest::addColumn<QString>("speedCaption");
    QTest::addColumn<QString>("recordCaption");

    QTest::newRow("7500 rpm") << 7500 << " 7500 rpm"
                              << "7500 rpm";
    QTest::newRow("no speed") << 0 << " 0 rpm"
                              << "0 rpm";
    QTest::newRow("top of the range") << 20000 << " 20000 rpm"
                                      << "20000 rpm";
}

void tst_SpeedMode::captions()
{
    QFETCH(qint32, rpm);
    QFETCH(QString, speedCaption);
    QFETCH(QString, recordCaption);

    PlayFixture f;
    f.clearBoard();
    f.holdSteady({ 0, 0, rpm, 0 });
    UpdateSpeedMode(f.state, f.playerRpm, f.playerName, f.board, false);

    QCOMPARE(f.board.speedCaption(3), speedCaption);
    QCOMPARE(f.board.recordCaption(3), recordCaption);
    QCOMPARE(f.board.barValue(3), double(rpm));
}

void tst_SpeedMode::playerRecord_data()
{
    QTest::addColumn<QString>("tag");
    QTest::addColumn<qint32>("rpm");
    QTest::addColumn<bool>("rewritten");

    QTest::newRow("empty tag at start-up counts as 0") << "" << 0 << true;
    QTest::newRow("equal sample rewrites the record") << "7500" << 7500 << true;
    QTest::newRow("higher sample raises the record") << "7500" << 7501 << true;
    QTest::newRow("lower sample keeps the record") << "7500" << 7499 << false;
    QTest::newRow("text after the number ignored") << "8000 rpm" << 7500 << false;
    QTest::newRow("leading plus sign read") << "+8000" << 7500 << false;
    QTest::newRow("negative record beaten by 0") << "-5" << 0 << true;
    QTest::newRow("tag without a number counts as 0") << "x9000" << 100 << true;
    QTest::newRow("absurdly long record not overflowed")
        << "99999999999999999999999999" << 20000 << false;
}

void tst_SpeedMode::playerRecord()
{
    QFETCH(QString, tag);
    QFETCH(qint32, rpm);
    QFETCH(bool, rewritten);

    PlayFixture f;
    f.board.setRecordTag(4, tag);
    f.board.setRecordCaption(4, QStringLiteral("old"));
    f.holdSteady({ 0, 0, 0, rpm });
    UpdateSpeedMode(f.state, f.playerRpm, f.playerName, f.board, false);

    const QString digits = QString::number(rpm);
    QCOMPARE(f.board.recordTag(4), rewritten ? digits : tag);
    QCOMPARE(f.board.recordCaption(4), rewritten ? digits + " rpm" : QStringLiteral("old"));
}

void tst_SpeedMode::bigDisplay_data()
{
    QTest::addColumn<qint32>("shown");
    QTest::addColumn<qint32>("rpm");
    QTest::addColumn<qint32>("expected");
    QTest::addColumn<int>("writes");

    QTest::newRow("raised by a higher sample") << 7000 << 7001 << 7001 << 1;
    QTest::newRow("equal sample rewrites the same value") << 7500 << 7500 << 7500 << 1;
    QTest::newRow("kept above the sample") << 8000 << 7500 << 8000 << 0;
}

void tst_SpeedMode::bigDisplay()
{
    QFETCH(qint32, shown);
    QFETCH(qint32, rpm);
    QFETCH(qint32, expected);
    QFETCH(int, writes);

    PlayFixture f;
    f.board.setBigDisplayValue(shown);
    f.board.clearLog();
    f.holdSteady({ 0, rpm, 0, 0 });
    UpdateSpeedMode(f.state, f.playerRpm, f.playerName, f.board, false);

    QCOMPARE(f.board.bigDisplayValue(), double(expected));
    QCOMPARE(f.board.log().filter(QStringLiteral("CurSpeed")).size(), writes);
}

QTEST_GUILESS_MAIN(tst_SpeedMode)
#include "tst_speed_mode.moc"
