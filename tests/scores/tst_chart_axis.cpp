// SPDX-License-Identifier: MIT
#include "scores/chart_axis.h"
#include "scores/score_text.h"

#include <QTest>

using chart_axis::RoundAxis;

class tst_chart_axis : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void secondsAxis_data();
    void secondsAxis();
    void rpmAxis_data();
    void rpmAxis();
    void coveringIsRoundAndTight_data();
    void coveringIsRoundAndTight();
    void compactDate_data();
    void compactDate();
};

namespace
{

bool isRoundStep(qint64 step)
{
    while (step >= 10 && step % 10 == 0) {
        step /= 10;
    }
    return step == 1 || step == 2 || step == 5;
}

qint64 smallerRoundStep(qint64 step)
{
    qint64 power = 1;
    while (step >= 10 && step % 10 == 0) {
        step /= 10;
        power *= 10;
    }
    return step == 5 ? 2 * power : step == 2 ? power : 5 * power / 10;
}

qint64 floorTo(qint64 value, qint64 step)
{
    return value >= 0 ? value / step * step : -((-value + step - 1) / step * step);
}

qint64 ceilTo(qint64 value, qint64 step) { return -floorTo(-value, step); }

} // namespace

void tst_chart_axis::secondsAxis_data()
{
    QTest::addColumn<int>("ticks");
    QTest::addColumn<RoundAxis>("axis");
    // Short games used to get unround ticks that repeated after rounding ("1 1 1 1 2").
    QTest::newRow("game of one second") << 1 << RoundAxis { 0, 2, 1 };
    QTest::newRow("game of two seconds") << 2 << RoundAxis { 0, 2, 1 };
    QTest::newRow("game of three seconds") << 3 << RoundAxis { 0, 3, 1 };
    QTest::newRow("game of five seconds") << 5 << RoundAxis { 0, 5, 1 };
    QTest::newRow("ten seconds, still one by one") << 10 << RoundAxis { 0, 10, 1 };
    QTest::newRow("eleven seconds go by two") << 11 << RoundAxis { 0, 12, 2 };
    QTest::newRow("thirty-second game") << 30 << RoundAxis { 0, 30, 5 };
    QTest::newRow("sixty-second game") << 60 << RoundAxis { 0, 60, 10 };
    QTest::newRow("ninety-second game") << 90 << RoundAxis { 0, 90, 10 };
    QTest::newRow("long Speed game") << 737 << RoundAxis { 0, 800, 100 };
    QTest::newRow("no accepted tick") << 0 << RoundAxis { 0, 2, 1 };
}

void tst_chart_axis::secondsAxis()
{
    QFETCH(int, ticks);
    QFETCH(RoundAxis, axis);
    QCOMPARE(chart_axis::SecondsAxis(ticks), axis);
}

void tst_chart_axis::rpmAxis_data()
{
    QTest::addColumn<qint64>("top");
    QTest::addColumn<RoundAxis>("axis");
    // 12750 used to be cut in three (4250, 8500, 12750).
    QTest::newRow("fast game") << qint64(12750) << RoundAxis { 0, 14000, 2000 };
    QTest::newRow("top exactly on a step") << qint64(8000) << RoundAxis { 0, 8000, 1000 };
    QTest::newRow("just above a step") << qint64(8001) << RoundAxis { 0, 10000, 2000 };
    QTest::newRow("slowest accepted speed") << qint64(1000) << RoundAxis { 0, 1000, 200 };
    QTest::newRow("silent game") << qint64(0) << RoundAxis { 0, 1000, 200 };
    QTest::newRow("fastest accepted speed") << qint64(20000) << RoundAxis { 0, 20000, 5000 };
}

void tst_chart_axis::rpmAxis()
{
    QFETCH(qint64, top);
    QFETCH(RoundAxis, axis);
    QCOMPARE(chart_axis::RpmAxis(top), axis);
}

void tst_chart_axis::coveringIsRoundAndTight_data()
{
    QTest::addColumn<qint64>("low");
    QTest::addColumn<qint64>("high");
    QTest::addColumn<int>("maxIntervals");
    QTest::newRow("the issue's 37 74 111") << qint64(0) << qint64(111) << 3;
    QTest::newRow("negative low end") << qint64(-37) << qint64(74) << 5;
    QTest::newRow("ends given backwards") << qint64(500) << qint64(-20) << 4;
    QTest::newRow("zero span") << qint64(7) << qint64(7) << 5;
    QTest::newRow("one interval only") << qint64(3) << qint64(97) << 1;
    QTest::newRow("huge span") << qint64(0) << qint64(4'000'000'000'000'000'000) << 8;
}

void tst_chart_axis::coveringIsRoundAndTight()
{
    QFETCH(qint64, low);
    QFETCH(qint64, high);
    QFETCH(int, maxIntervals);
    const RoundAxis axis = chart_axis::Covering(low, high, maxIntervals);
    QVERIFY2(isRoundStep(axis.step), qPrintable(QString::number(axis.step)));
    QCOMPARE(axis.min % axis.step, 0);
    QCOMPARE(axis.max % axis.step, 0);
    QVERIFY(axis.min <= std::min(low, high));
    QVERIFY(axis.max >= std::max(low, high));
    QVERIFY(axis.max > axis.min);
    QVERIFY(axis.tickCount() - 1 <= maxIntervals);
    // Tight: the next smaller round step would need more intervals than allowed.
    if (axis.step > 1) {
        const qint64 finer = smallerRoundStep(axis.step);
        const qint64 intervals =
            (ceilTo(std::max(low, high), finer) - floorTo(std::min(low, high), finer)) / finer;
        QVERIFY(intervals > maxIntervals);
    }
}

void tst_chart_axis::compactDate_data()
{
    QTest::addColumn<QDateTime>("started");
    QTest::addColumn<QString>("shown");
    const QDateTime now(QDate(2026, 12, 8), QTime(4, 0));
    QTest::addColumn<QDateTime>("now");
    QTest::newRow("earlier this evening")
        << QDateTime(QDate(2026, 12, 8), QTime(3, 38)) << "8 Dec 03:38" << now;
    QTest::newRow("early this year")
        << QDateTime(QDate(2026, 1, 2), QTime(21, 5)) << "2 Jan 21:05" << now;
    QTest::newRow("last year's game")
        << QDateTime(QDate(2025, 12, 31), QTime(23, 59)) << "31 Dec 2025" << now;
}

void tst_chart_axis::compactDate()
{
    QFETCH(QDateTime, started);
    QFETCH(QString, shown);
    QFETCH(QDateTime, now);
    QCOMPARE(score_text::CompactDate(started, now, QLocale::c()), shown);
}

QTEST_GUILESS_MAIN(tst_chart_axis)
#include "tst_chart_axis.moc"
