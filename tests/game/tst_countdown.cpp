// SPDX-License-Identifier: MIT
#include "game/countdown.h"

#include <QTest>

using namespace game;

class tst_Countdown : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void nextPreset_data();
    void nextPreset();
    void presetsCycleFromDesignTag();
    void countdownRunsOutOnLastTick_data();
    void countdownRunsOutOnLastTick();
    void countdownStepAtTheEdges_data();
    void countdownStepAtTheEdges();
    void strengthStartSeconds_data();
    void strengthStartSeconds();
    void everySecondGetsItsRefresh_data();
    void everySecondGetsItsRefresh();
};

void tst_Countdown::nextPreset_data()
{
    QTest::addColumn<int>("preset");
    QTest::addColumn<int>("next");
    QTest::newRow("30") << 30 << 60;
    QTest::newRow("60") << 60 << 90;
    QTest::newRow("90") << 90 << 30;
    QTest::newRow("none yet") << 0 << 30;
    QTest::newRow("other number") << 45 << 30;
}

void tst_Countdown::nextPreset()
{
    QFETCH(int, preset);
    QFETCH(int, next);
    QCOMPARE(NextPreset(preset), next);
}

void tst_Countdown::presetsCycleFromDesignTag()
{
    int preset = kFirstPresetSeconds;
    QList<int> shown;
    for (int click = 0; click < 4; ++click) {
        preset = NextPreset(preset);
        shown << preset;
    }
    QCOMPARE(shown, (QList<int> { 30, 60, 90, 30 }));
}

void tst_Countdown::countdownRunsOutOnLastTick_data()
{
    QTest::addColumn<int>("preset");
    QTest::newRow("30 seconds") << 30;
    QTest::newRow("90 seconds") << 90;
    QTest::newRow("one second") << 1;
}

void tst_Countdown::countdownRunsOutOnLastTick()
{
    QFETCH(int, preset);
    int shown = preset;
    for (int tick = 1; tick < preset; ++tick) {
        const CountdownStepResult step = CountdownStep(shown);
        QCOMPARE(step.newValue, preset - tick);
        QVERIFY2(!step.ranOut, qPrintable(QStringLiteral("ran out at tick %1").arg(tick)));
        shown = step.newValue;
    }
    const CountdownStepResult last = CountdownStep(shown);
    QCOMPARE(last.newValue, 0);
    QVERIFY(last.ranOut);
}

void tst_Countdown::countdownStepAtTheEdges_data()
{
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("newValue");
    QTest::addColumn<bool>("ranOut");
    QTest::newRow("already run out") << 0 << 0 << true;
    QTest::newRow("last second") << 1 << 0 << true;
    QTest::newRow("two seconds") << 2 << 1 << false;
    QTest::newRow("negative") << -5 << 0 << true;
}

void tst_Countdown::countdownStepAtTheEdges()
{
    QFETCH(int, shown);
    QFETCH(int, newValue);
    QFETCH(bool, ranOut);
    const CountdownStepResult step = CountdownStep(shown);
    QCOMPARE(step.newValue, newValue);
    QCOMPARE(step.ranOut, ranOut);
}

void tst_Countdown::strengthStartSeconds_data()
{
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("preset");
    QTest::addColumn<int>("seconds");
    QTest::newRow("fresh countdown") << 90 << 90 << 90;
    QTest::newRow("stopped with seconds left") << 17 << 90 << 17;
    QTest::newRow("one second left is kept") << 1 << 60 << 1;
    QTest::newRow("run out, preset 30") << 0 << 30 << 30;
    QTest::newRow("run out, preset 60") << 0 << 60 << 60;
}

// Starting after a run-out used to end the game again on its very first tick.
void tst_Countdown::strengthStartSeconds()
{
    QFETCH(int, shown);
    QFETCH(int, preset);
    QFETCH(int, seconds);
    const int start = StrengthStartSeconds(shown, preset);
    QCOMPARE(start, seconds);
    QCOMPARE(CountdownStep(start).ranOut, start < 2);
}

void tst_Countdown::everySecondGetsItsRefresh_data()
{
    // One letter per timer tick: C the countdown, R the refresh. A refresh after the run-out
    // never arrives (its timer is off by then).
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("ticks");
    QTest::newRow("countdown first, 30 s") << 30 << QString("CR").repeated(30);
    QTest::newRow("countdown first, 90 s") << 90 << QString("CR").repeated(90);
    QTest::newRow("refresh first, 30 s") << 30 << QString("RC").repeated(30);
    QTest::newRow("order swaps mid-game")
        << 30 << QString("CR").repeated(12) + "RC" + QString("RC").repeated(17);
    QTest::newRow("one second") << 1 << "CR";
}

// The countdown used to stop the refresh timer before the game's last refresh whenever it
// fired first, so a 30-second game was measured over 29 refreshes.
void tst_Countdown::everySecondGetsItsRefresh()
{
    QFETCH(int, seconds);
    QFETCH(QString, ticks);
    StrengthPace pace;
    int shown = seconds;
    bool refreshing = true;
    int refreshes = 0;
    for (const QChar tick : ticks) {
        if (tick == u'R') {
            if (refreshing) {
                RefreshTick(pace);
                ++refreshes;
            }
            continue;
        }
        const CountdownStepResult step = CountdownStep(shown);
        shown = step.newValue;
        refreshes += CountdownTick(pace, step.ranOut);
        refreshing = refreshing && !step.ranOut;
    }
    QCOMPARE(shown, 0);
    QCOMPARE(refreshes, seconds);
    QCOMPARE(pace.refreshesOwed, 0);
}

QTEST_GUILESS_MAIN(tst_Countdown)
#include "tst_countdown.moc"
