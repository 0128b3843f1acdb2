// SPDX-License-Identifier: MIT
#include "main_window/game_control.h"

#include <QTest>

#include <limits>

using namespace game_control;

Q_DECLARE_METATYPE(std::optional<int>)

namespace
{
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
}

class tst_GameControl : public QObject
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

void tst_GameControl::nextPreset_data()
{
    QTest::addColumn<QString>("tag");
    QTest::addColumn<std::optional<int>>("next");
    QTest::newRow("empty tag") << "" << std::optional(30);
    QTest::newRow("null tag") << QString() << std::optional(30);
    QTest::newRow("30") << "30" << std::optional(60);
    QTest::newRow("60") << "60" << std::optional(90);
    QTest::newRow("90") << "90" << std::optional(30);
    QTest::newRow("trailing blank") << "30 " << std::optional<int>();
    QTest::newRow("only a blank") << " " << std::optional<int>();
    QTest::newRow("leading zero") << "030" << std::optional<int>();
    QTest::newRow("other number") << "45" << std::optional<int>();
    QTest::newRow("text") << "ninety" << std::optional<int>();
}

void tst_GameControl::nextPreset()
{
    QFETCH(QString, tag);
    QFETCH(std::optional<int>, next);
    QCOMPARE(NextPreset(tag), next);
}

void tst_GameControl::presetsCycleFromDesignTag()
{
    QString tag = QStringLiteral("90");
    QList<int> shown;
    for (int click = 0; click < 4; ++click) {
        const std::optional<int> preset = NextPreset(tag);
        QVERIFY(preset);
        shown << *preset;
        tag = QString::number(*preset);
    }
    QCOMPARE(shown, (QList<int> { 30, 60, 90, 30 }));
}

void tst_GameControl::countdownRunsOutOnLastTick_data()
{
    QTest::addColumn<int>("preset");
    QTest::newRow("30 seconds") << 30;
    QTest::newRow("90 seconds") << 90;
    QTest::newRow("one second") << 1;
}

void tst_GameControl::countdownRunsOutOnLastTick()
{
    QFETCH(int, preset);
    double shown = preset;
    for (int tick = 1; tick < preset; ++tick) {
        const CountdownStepResult step = CountdownStep(shown);
        QCOMPARE(step.newValue, double(preset - tick));
        QVERIFY2(!step.ranOut, qPrintable(QStringLiteral("ran out at tick %1").arg(tick)));
        shown = step.newValue;
    }
    const CountdownStepResult last = CountdownStep(shown);
    QCOMPARE(last.newValue, 0.0);
    QVERIFY(last.ranOut);
}

void tst_GameControl::countdownStepAtTheEdges_data()
{
    QTest::addColumn<double>("shown");
    QTest::addColumn<double>("newValue");
    QTest::addColumn<bool>("ranOut");
    QTest::newRow("already run out") << 0.0 << 0.0 << true;
    QTest::newRow("fraction just above the end") << 1.5 << 0.0 << true;
    QTest::newRow("fraction that still counts") << 2.5 << 1.5 << false;
    QTest::newRow("negative") << -5.0 << 0.0 << true;
    QTest::newRow("not a number") << kNaN << 0.0 << true;
}

void tst_GameControl::countdownStepAtTheEdges()
{
    QFETCH(double, shown);
    QFETCH(double, newValue);
    QFETCH(bool, ranOut);
    const CountdownStepResult step = CountdownStep(shown);
    QCOMPARE(step.newValue, newValue);
    QCOMPARE(step.ranOut, ranOut);
}

void tst_GameControl::strengthStartSeconds_data()
{
    QTest::addColumn<double>("shown");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<double>("seconds");
    QTest::newRow("fresh countdown") << 90.0 << "90" << 90.0;
    QTest::newRow("stopped with seconds left") << 17.0 << "90" << 17.0;
    QTest::newRow("one second left is kept") << 1.0 << "60" << 1.0;
    QTest::newRow("preset changed while stopped keeps the shown value") << 90.0 << "30" << 90.0;
    QTest::newRow("run out, preset 30") << 0.0 << "30" << 30.0;
    QTest::newRow("run out, preset 60") << 0.0 << "60" << 60.0;
    QTest::newRow("run out, unusual positive tag") << 0.0 << "45" << 45.0;
    QTest::newRow("run out, empty tag keeps 0") << 0.0 << "" << 0.0;
    QTest::newRow("run out, text tag keeps 0") << 0.0 << "abc" << 0.0;
    QTest::newRow("run out, zero tag keeps 0") << 0.0 << "0" << 0.0;
    QTest::newRow("run out, signed tag keeps 0") << 0.0 << "+30" << 0.0;
    QTest::newRow("run out, oversized tag keeps 0") << 0.0 << "99999999999" << 0.0;
    QTest::newRow("unreadable display reloads") << kNaN << "60" << 60.0;
}

// Starting after a run-out used to end the game again on its very first tick.
void tst_GameControl::strengthStartSeconds()
{
    QFETCH(double, shown);
    QFETCH(QString, tag);
    QFETCH(double, seconds);
    const double start = StrengthStartSeconds(shown, tag);
    QCOMPARE(start, seconds);
    QCOMPARE(CountdownStep(start).ranOut, start < 2);
}

void tst_GameControl::everySecondGetsItsRefresh_data()
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
void tst_GameControl::everySecondGetsItsRefresh()
{
    QFETCH(int, seconds);
    QFETCH(QString, ticks);
    StrengthPace pace;
    double shown = seconds;
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
    QCOMPARE(shown, 0.0);
    QCOMPARE(refreshes, seconds);
    QCOMPARE(pace.refreshesOwed, 0);
}

QTEST_GUILESS_MAIN(tst_GameControl)
#include "tst_game_control.moc"
