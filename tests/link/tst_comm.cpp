// SPDX-License-Identifier: MIT
#include "link/comm.h"

#include <QTest>

using rotavex::LinkSeen;
using rotavex::PlayerSlot;

namespace
{

LinkSeen armed()
{
    LinkSeen seen;
    seen.fill(-1);
    return seen;
}

} // namespace

class TestComm : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void singleFrame_data();
    void singleFrame();
    void countToRpmMatchesIntegerQuotient();
    void readSequence_data();
    void readSequence();
    void interleavedPortsKeepTheirOwnFrames();
    void frameClearsOnlyItsOwnPort();
    void positionSaturatesOnLongGarbage_data();
    void positionSaturatesOnLongGarbage();
};

void TestComm::singleFrame_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("sample");

    QTest::newRow("count 0 means no speed") << 0 << 0;
    QTest::newRow("count 1 far too fast") << 1 << -1;
    QTest::newRow("count 374 just too fast") << 374 << -1;
    QTest::newRow("count 375 fastest accepted") << 375 << 20000;
    QTest::newRow("count 1000 example") << 1000 << 7500;
    QTest::newRow("count 7500 slowest accepted") << 7500 << 1000;
    QTest::newRow("count 7501 just too slow") << 7501 << -1;
    QTest::newRow("count 65535 largest") << 65535 << -1;
    QTest::newRow("count 830 low byte is end marker") << 830 << 9036;
    QTest::newRow("count 15934 both bytes end marker") << 15934 << -1;
}

// Only a frame that gives a usable sample (0 or an rpm) marks the link alive.
void TestComm::singleFrame()
{
    QFETCH(int, count);
    QFETCH(int, sample);

    comm::PacketState state;
    LinkSeen seen = armed();
    QCOMPARE(comm::ReadPort(state, comm::encodeFrame(count), seen, 2), sample);
    QCOMPARE(seen[2], qint16(sample >= 0 ? 0 : -1));
    QCOMPARE(seen[1], qint16(-1));
}

// The double-precision route must never round one below the exact quotient.
void TestComm::countToRpmMatchesIntegerQuotient()
{
    for (int count = 0; count <= 65535; ++count) {
        const int period = 8 * count;
        int expected = -1;
        if (count == 0) {
            expected = 0;
        } else if (period >= 3000 && period <= 60000) {
            expected = 60000000 / period;
        }
        if (comm::CountToRpm(count) != expected) {
            QFAIL(qPrintable(QStringLiteral("count %1 gives %2, expected %3")
                                 .arg(count)
                                 .arg(comm::CountToRpm(count))
                                 .arg(expected)));
        }
    }
}

void TestComm::readSequence_data()
{
    QTest::addColumn<QList<QByteArray>>("reads");
    QTest::addColumn<QList<int>>("samples");
    QTest::addColumn<qint16>("linkSeen");

    const QByteArray f7500 = comm::encodeFrame(1000);
    const QByteArray f1000 = comm::encodeFrame(7500);
    const QByteArray rejected = comm::encodeFrame(7501);

    QTest::newRow("empty read") << QList<QByteArray> { {} } << QList<int> { 0 } << qint16(-1);
    QTest::newRow("garbage only") << QList<QByteArray> { QByteArray("\x01>\x02\x03>\xFF") }
                                  << QList<int> { -1 } << qint16(-1);
    // The state starts at position 0, as if a start marker had just arrived, so the first
    // three bytes a link ever delivers may complete a frame without any "<".
    QTest::newRow("first bytes ever taken as a frame")
        << QList<QByteArray> { QByteArray("\x01\x03\xE8>") } << QList<int> { 7500 } << qint16(0);
    QTest::newRow("frame split after high byte")
        << QList<QByteArray> { QByteArray("<\x03"), QByteArray("\xE8>") } << QList<int> { -1, 7500 }
        << qint16(0);
    QTest::newRow("frame split at every byte") << QList<QByteArray> { "<", "\x03", "\xE8", ">" }
                                               << QList<int> { -1, -1, -1, 7500 } << qint16(0);
    QTest::newRow("empty read inside a split frame")
        << QList<QByteArray> { "<\x03", {}, "\xE8>" } << QList<int> { -1, 0, 7500 } << qint16(0);
    QTest::newRow("second start marker restarts")
        << QList<QByteArray> { QByteArray("<<\x03\xE8>") } << QList<int> { 7500 } << qint16(0);
    QTest::newRow("start marker as low byte restarts")
        << QList<QByteArray> { QByteArray("<\x03<\x03\xE8>") } << QList<int> { 7500 } << qint16(0);
    QTest::newRow("frame abandoned at wrong end byte")
        << QList<QByteArray> { QByteArray("<\x03\xE8\x41>") } << QList<int> { -1 } << qint16(-1);
    QTest::newRow("abandoned frame does not complete later")
        << QList<QByteArray> { QByteArray("<\x03\xE8\x41"), ">\x03\xE8>" } << QList<int> { -1, -1 }
        << qint16(-1);
    QTest::newRow("garbage before frame") << QList<QByteArray> { QByteArray("\x10\x20>") + f7500 }
                                          << QList<int> { 7500 } << qint16(0);
    QTest::newRow("two frames in one read last wins")
        << QList<QByteArray> { f7500 + f1000 } << QList<int> { 1000 } << qint16(0);
    QTest::newRow("rejected frame after usable keeps usable")
        << QList<QByteArray> { f7500 + rejected } << QList<int> { 7500 } << qint16(0);
    QTest::newRow("count zero after usable wins")
        << QList<QByteArray> { f7500 + comm::encodeFrame(0) } << QList<int> { 0 } << qint16(0);
    QTest::newRow("only rejected frames leave the link silent")
        << QList<QByteArray> { rejected + rejected } << QList<int> { -1 } << qint16(-1);
    QTest::newRow("frame then start of next frame")
        << QList<QByteArray> { f1000 + "<\x03", "\xE8>" } << QList<int> { 1000, 7500 } << qint16(0);
}

void TestComm::readSequence()
{
    QFETCH(QList<QByteArray>, reads);
    QFETCH(QList<int>, samples);
    QFETCH(qint16, linkSeen);

    comm::PacketState state;
    LinkSeen seen = armed();
    QList<int> got;
    for (const QByteArray &read : reads) {
        got.append(comm::ReadPort(state, read, seen, 3));
    }
    QCOMPARE(got, samples);
    QCOMPARE(seen[3], linkSeen);
}

// Bytes of two links arriving alternately must not mix: each port completes its own frame.
void TestComm::interleavedPortsKeepTheirOwnFrames()
{
    comm::PortStates states;
    LinkSeen seen = armed();
    const QByteArray first = comm::encodeFrame(1000);
    const QByteArray second = comm::encodeFrame(7500);
    QList<int> firstSamples;
    QList<int> secondSamples;
    for (qsizetype i = 0; i < first.size(); ++i) {
        firstSamples.append(comm::ReadPort(states[1], first.mid(i, 1), seen, 1));
        secondSamples.append(comm::ReadPort(states[4], second.mid(i, 1), seen, 4));
    }
    QCOMPARE(firstSamples, (QList<int> { -1, -1, -1, 7500 }));
    QCOMPARE(secondSamples, (QList<int> { -1, -1, -1, 1000 }));
    QCOMPARE(seen, LinkSeen({ 0, -1, -1, 0 }));
}

// A half frame left on one port must not be finished by another port's bytes.
void TestComm::frameClearsOnlyItsOwnPort()
{
    comm::PortStates states;
    LinkSeen seen = armed();
    QCOMPARE(comm::ReadPort(states[1], QByteArray("<\x03"), seen, 1), -1);
    QCOMPARE(comm::ReadPort(states[2], QByteArray("\xE8>"), seen, 2), -1);
    QCOMPARE(seen, armed());
    QCOMPARE(comm::ReadPort(states[1], QByteArray("\xE8>"), seen, 1), 7500);
    QCOMPARE(seen, LinkSeen({ 0, -1, -1, -1 }));
}

void TestComm::positionSaturatesOnLongGarbage_data()
{
    QTest::addColumn<char>("filler");

    QTest::newRow("zero bytes") << '\0';
    QTest::newRow("end markers") << '>';
    QTest::newRow("high bytes") << '\xFF';
}

// 100 000 bytes without a start marker would run a 16-bit counter past its range.
void TestComm::positionSaturatesOnLongGarbage()
{
    QFETCH(char, filler);

    comm::PacketState state;
    LinkSeen seen;
    QCOMPARE(comm::ReadPort(state, comm::encodeFrame(375), seen, 1), 20000);
    seen = armed();
    const QByteArray garbage(100000, filler);
    QCOMPARE(comm::ReadPort(state, garbage, seen, 1), -1);
    QVERIFY2(
        state.Position >= 0 && state.Position <= 4, qPrintable(QString::number(state.Position)));
    QCOMPARE(seen[1], qint16(-1));
    QCOMPARE(comm::ReadPort(state, comm::encodeFrame(1000), seen, 1), 7500);
}

QTEST_GUILESS_MAIN(TestComm)
#include "tst_comm.moc"
