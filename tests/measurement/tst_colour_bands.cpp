// SPDX-License-Identifier: MIT
#include "measurement/colour_bands.h"

#include <QTest>

using speed_mode::SpeedColour;

class tst_ColourBands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void boundaries_data();
    void boundaries();
};

void tst_ColourBands::boundaries_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<quint32>("bgr");

    QTest::newRow("negative is grey") << -1.0 << 0xE0E0E0u;
    QTest::newRow("rest is grey") << 0.0 << 0xE0E0E0u;
    QTest::newRow("2500 is still grey") << 2500.0 << 0xE0E0E0u;
    QTest::newRow("2500.5 is light cyan") << 2500.5 << 0xFFFF80u;
    QTest::newRow("5000 is still light cyan") << 5000.0 << 0xFFFF80u;
    QTest::newRow("5001 is green") << 5001.0 << 0x00FF00u;
    QTest::newRow("7500 is still green") << 7500.0 << 0x00FF00u;
    QTest::newRow("7501 is yellow") << 7501.0 << 0x00FFFFu;
    QTest::newRow("10000 is still yellow") << 10000.0 << 0x00FFFFu;
    QTest::newRow("10001 is orange") << 10001.0 << 0x0080FFu;
    QTest::newRow("12500 is still orange") << 12500.0 << 0x0080FFu;
    QTest::newRow("12501 is magenta") << 12501.0 << 0xFF00FFu;
    QTest::newRow("15000 is still magenta") << 15000.0 << 0xFF00FFu;
    QTest::newRow("15001 is red") << 15001.0 << 0x0000FFu;
    QTest::newRow("top of the scale is red") << 20000.0 << 0x0000FFu;
}

void tst_ColourBands::boundaries()
{
    QFETCH(double, value);
    QFETCH(quint32, bgr);

    QCOMPARE(SpeedColour(value), bgr);
}

QTEST_GUILESS_MAIN(tst_ColourBands)
#include "tst_colour_bands.moc"
