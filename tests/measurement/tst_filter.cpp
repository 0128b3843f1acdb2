// SPDX-License-Identifier: MIT
#include "measurement/filter.h"

#include <QList>
#include <QTest>

using speed_mode::FilterSample;
using speed_mode::FilterState;

// A player whose last three samples and accepted median are all `rpm`.
static FilterState steadyAt(qint32 rpm) { return FilterState { rpm, rpm, rpm, rpm, rpm }; }

class tst_Filter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void runs_data();
    void runs();
    void jumpRule_data();
    void jumpRule();
    void band_data();
    void band();
    void resetLeavesSample_data();
    void resetLeavesSample();
};

void tst_Filter::runs_data()
{
    QTest::addColumn<QList<qint32>>("samples");
    QTest::addColumn<QList<qint32>>("stored");
    QTest::addColumn<QList<qint32>>("references");

    QTest::newRow("worked run with one spike") << QList<qint32> { 3000, 3100, 3200, 9000, 4500 }
                                               << QList<qint32> { 0, 3000, 3100, 3100, 3200 }
                                               << QList<qint32> { 0, 3000, 3100, 3100, 3200 };
    QTest::newRow("start at 5000 rpm shown on the second tick") << QList<qint32> { 5000, 5000,
        5000 } << QList<qint32> { 0, 5000, 5000 } << QList<qint32> { 0, 5000, 5000 };
    QTest::newRow("start above the jump limit is not held at zero")
        << QList<qint32> { 9000, 9000 } << QList<qint32> { 0, 9000 } << QList<qint32> { 0, 9000 };
    QTest::newRow("acceleration 3000 to 4500 after one skipped tick")
        << QList<qint32> { 3000, 3000, 3000, 4500, 4500, 4500 }
        << QList<qint32> { 0, 3000, 3000, 3000, -1, 4500 }
        << QList<qint32> { 0, 3000, 3000, 3000, 4500, 4500 };
    QTest::newRow("slowing below 1000 rpm after one skipped tick")
        << QList<qint32> { 8000, 8000, 8000, 900, 900, 900 }
        << QList<qint32> { 0, 8000, 8000, 8000, -1, 900 }
        << QList<qint32> { 0, 8000, 8000, 8000, 900, 900 };
    QTest::newRow("accepted zero sample stays zero") << QList<qint32> { 3000, 3000, 3000, 0,
        0 } << QList<qint32> { 0, 3000, 3000, 0, 0 } << QList<qint32> { 0, 3000, 3000, 3000, 0 };
    QTest::newRow("lasting jump up from 3000 to 8000 followed after two held ticks")
        << QList<qint32> { 3000, 3000, 3000, 8000, 8000, 8000, 8000 }
        << QList<qint32> { 0, 3000, 3000, 3000, 3000, -1, 8000 }
        << QList<qint32> { 0, 3000, 3000, 3000, 3000, 8000, 8000 };
    QTest::newRow("hard spin-down of 5000 rpm a tick is followed, not frozen")
        << QList<qint32> { 16000, 16000, 16000, 11000, 6000, 3000, 2000, 2000 }
        << QList<qint32> { 0, 16000, 16000, 16000, 16000, -1, -1, 2000 }
        << QList<qint32> { 0, 16000, 16000, 16000, 16000, 6000, 3000, 2000 };
    QTest::newRow("two-tick spike replaced, then absorbed by the median")
        << QList<qint32> { 3000, 3000, 3000, 9000, 9000, 3000, 3000 }
        << QList<qint32> { 0, 3000, 3000, 3000, 3000, 3000, 3000 }
        << QList<qint32> { 0, 3000, 3000, 3000, 3000, 3000, 3000 };
    QTest::newRow("no new sample after a rejection shows the new median")
        << QList<qint32> { 3000, 3000, 3000, 6000, 6000, -1 }
        << QList<qint32> { 0, 3000, 3000, 3000, -1, 6000 }
        << QList<qint32> { 0, 3000, 3000, 3000, 6000, 6000 };
}

// One sample per refresh from a cleared state, as the link would deliver them.
void tst_Filter::runs()
{
    QFETCH(QList<qint32>, samples);
    QFETCH(QList<qint32>, stored);
    QFETCH(QList<qint32>, references);

    FilterState state;
    for (qsizetype i = 0; i < samples.size(); ++i) {
        qint32 sample = samples[i];
        FilterSample(state, sample, false);
        QVERIFY2(sample == stored[i] && state.Reference == references[i],
            qPrintable(QStringLiteral("tick %1: stored %2, reference %3")
                           .arg(i + 1)
                           .arg(sample)
                           .arg(state.Reference)));
    }
}

void tst_Filter::jumpRule_data()
{
    QTest::addColumn<qint32>("reference");
    QTest::addColumn<qint32>("sample");
    QTest::addColumn<qint32>("windowed");
    QTest::addColumn<qint32>("previous"); // the sample of the tick before

    QTest::newRow("jump of 4201 upwards replaced") << 3000 << 7201 << 3000 << 3000;
    QTest::newRow("jump of exactly 4200 kept") << 3000 << 7200 << 7200 << 3000;
    QTest::newRow("jump of 5000 downwards replaced") << 9000 << 4000 << 9000 << 9000;
    QTest::newRow("sample of exactly 1000 never replaced") << 6000 << 1000 << 1000 << 6000;
    QTest::newRow("sample of 1001 replaced") << 6000 << 1001 << 6000 << 6000;
    QTest::newRow("zero sample never replaced") << 6000 << 0 << 0 << 6000;
    QTest::newRow("no reference, no jump rule") << 0 << 9000 << 9000 << 0;
    QTest::newRow("jump already there on the previous tick kept") << 3000 << 9000 << 9000 << 9000;
}

// The window keeps the sample as it stood after the jump rule.
void tst_Filter::jumpRule()
{
    QFETCH(qint32, reference);
    QFETCH(qint32, sample);
    QFETCH(qint32, windowed);
    QFETCH(qint32, previous);

    FilterState state = steadyAt(reference);
    state.Previous = previous;
    FilterSample(state, sample, false);
    QCOMPARE(state.Newest, windowed);
    QCOMPARE(state.Middle, reference);
    QCOMPARE(state.Oldest, reference);
}

void tst_Filter::band_data()
{
    QTest::addColumn<qint32>("reference");
    QTest::addColumn<qint32>("median");
    QTest::addColumn<qint32>("stored");

    QTest::newRow("3000: upper bound 4000 accepted") << 3000 << 4000 << 4000;
    QTest::newRow("3000: 4001 rejected") << 3000 << 4001 << -1;
    QTest::newRow("3000: lower bound 2000 accepted") << 3000 << 2000 << 2000;
    QTest::newRow("3000: 1999 rejected") << 3000 << 1999 << -1;
    QTest::newRow("1000: 1333 accepted") << 1000 << 1333 << 1333;
    QTest::newRow("1000: 1334 rejected") << 1000 << 1334 << -1;
    QTest::newRow("1000: 667 accepted") << 1000 << 667 << 667;
    QTest::newRow("1000: 666 rejected") << 1000 << 666 << -1;
    QTest::newRow("median 0 always accepted") << 3000 << 0 << 0;
    QTest::newRow("negative reference accepts anything") << -1 << 5000 << 5000;
}

// Both verdicts make the median the new reference, so a real change is taken next time.
void tst_Filter::band()
{
    QFETCH(qint32, reference);
    QFETCH(qint32, median);
    QFETCH(qint32, stored);

    FilterState state { reference, 0, median, median };
    qint32 sample = median;
    FilterSample(state, sample, false);
    QCOMPARE(sample, stored);
    QCOMPARE(state.Reference, median);
}

void tst_Filter::resetLeavesSample_data()
{
    QTest::addColumn<qint32>("sample");

    QTest::newRow("a speed") << 7500;
    QTest::newRow("rejected") << -1;
    QTest::newRow("no speed") << 0;
}

void tst_Filter::resetLeavesSample()
{
    QFETCH(qint32, sample);

    FilterState state { 3000, 2900, 3100, 3050 };
    qint32 value = sample;
    FilterSample(state, value, true);
    QCOMPARE(value, sample);
    QCOMPARE(state, FilterState {});
}

QTEST_GUILESS_MAIN(tst_Filter)
#include "tst_filter.moc"
