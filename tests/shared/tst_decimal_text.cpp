// SPDX-License-Identifier: MIT
#include "shared/decimal_text.h"

#include <QTest>

#include <optional>

using decimal_text::Sign;

class tst_decimal_text : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parseWhole_data();
    void parseWhole();
    void parseLeading_data();
    void parseLeading();
};

void tst_decimal_text::parseWhole_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("signAllowed");
    QTest::addColumn<qint64>("min");
    QTest::addColumn<qint64>("max");
    QTest::addColumn<std::optional<qint64>>("value");
    const qint64 lo = -32768;
    const qint64 hi = 32767;
    using V = std::optional<qint64>;
    QTest::newRow("plain digits") << "16" << true << lo << hi << V(16);
    QTest::newRow("leading zeros and plus") << "+007" << true << lo << hi << V(7);
    QTest::newRow("lower bound itself") << "-32768" << true << lo << hi << V(-32768);
    QTest::newRow("just above the upper bound") << "32768" << true << lo << hi << V();
    QTest::newRow("beyond 64 bits") << "123456789012345678901234567890" << true << lo << hi << V();
    QTest::newRow("beyond 64 bits, negative")
        << "-99999999999999999999999" << true << lo << hi << V();
    QTest::newRow("sign where none is allowed") << "+30" << false << qint64(1) << hi << V();
    QTest::newRow("zero below a minimum of one") << "0" << false << qint64(1) << hi << V();
    QTest::newRow("empty") << "" << true << lo << hi << V();
    QTest::newRow("sign alone") << "-" << true << lo << hi << V();
    QTest::newRow("leading blank") << " 5" << true << lo << hi << V();
    QTest::newRow("trailing text") << "30s" << true << lo << hi << V();
    QTest::newRow("fraction") << "1.0" << true << lo << hi << V();
    QTest::newRow("arabic-indic digit") << QString::fromUtf8("\u0663") << true << lo << hi << V();
    QTest::newRow("fullwidth digit") << QString::fromUtf8("\uFF15") << false << lo << hi << V();
}

void tst_decimal_text::parseWhole()
{
    QFETCH(QString, text);
    QFETCH(bool, signAllowed);
    QFETCH(qint64, min);
    QFETCH(qint64, max);
    QFETCH(std::optional<qint64>, value);
    QCOMPARE(
        decimal_text::parseWhole(text, signAllowed ? Sign::Allowed : Sign::None, min, max), value);
}

void tst_decimal_text::parseLeading_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("value");
    QTest::newRow("digits we wrote") << "7500" << qint64(7500);
    QTest::newRow("text after the number is ignored") << "7500 rpm" << qint64(7500);
    QTest::newRow("negative") << "-12x" << qint64(-12);
    QTest::newRow("no digits") << "rpm" << qint64(0);
    QTest::newRow("empty") << "" << qint64(0);
    QTest::newRow("capped far beyond 64 bits") << QString(40, u'9') << qint64(1'000'000);
    QTest::newRow("capped negative") << "-" + QString(40, u'9') << qint64(-1'000'000);
}

void tst_decimal_text::parseLeading()
{
    QFETCH(QString, text);
    QFETCH(qint64, value);
    QCOMPARE(decimal_text::parseLeading(text, 1'000'000), value);
}

QTEST_GUILESS_MAIN(tst_decimal_text)
#include "tst_decimal_text.moc"
