// SPDX-License-Identifier: MIT
#include "link/line_settings.h"

#include <QTest>

using line_settings::LineSettings;
using line_settings::Parity;
using line_settings::StopBits;

Q_DECLARE_METATYPE(std::optional<LineSettings>)

class TestLineSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data();
    void parse();
};

void TestLineSettings::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::optional<LineSettings>>("expected");

    using Result = std::optional<LineSettings>;
    QTest::newRow("the program's own settings")
        << "9600,n,8,1" << Result(LineSettings { 9600, Parity::None, 8, StopBits::One });
    QTest::newRow("capital parity, even, 7 data, 2 stop")
        << "19200,E,7,2" << Result(LineSettings { 19200, Parity::Even, 7, StopBits::Two });
    QTest::newRow("odd parity, 5 data, 1.5 stop")
        << "300,o,5,1.5" << Result(LineSettings { 300, Parity::Odd, 5, StopBits::OneAndHalf });
    QTest::newRow("mark parity") << "1200,m,8,1"
                                 << Result(LineSettings { 1200, Parity::Mark, 8, StopBits::One });
    QTest::newRow("space parity") << "1200,s,6,1"
                                  << Result(LineSettings { 1200, Parity::Space, 6, StopBits::One });
    QTest::newRow("blanks around fields")
        << " 9600 , n , 8 , 1 " << Result(LineSettings { 9600, Parity::None, 8, StopBits::One });
    QTest::newRow("empty text") << "" << Result();
    QTest::newRow("three fields") << "9600,n,8" << Result();
    QTest::newRow("five fields") << "9600,n,8,1,x" << Result();
    QTest::newRow("zero baud") << "0,n,8,1" << Result();
    QTest::newRow("negative baud") << "-9600,n,8,1" << Result();
    QTest::newRow("signed baud") << "+9600,n,8,1" << Result();
    QTest::newRow("baud beyond 32 bits") << "99999999999,n,8,1" << Result();
    QTest::newRow("baud with letters") << "96k,n,8,1" << Result();
    QTest::newRow("unknown parity") << "9600,x,8,1" << Result();
    QTest::newRow("parity word") << "9600,none,8,1" << Result();
    QTest::newRow("4 data bits") << "9600,n,4,1" << Result();
    QTest::newRow("9 data bits") << "9600,n,9,1" << Result();
    QTest::newRow("3 stop bits") << "9600,n,8,3" << Result();
    QTest::newRow("stop bits with comma decimal") << "9600,n,8,1,5" << Result();
    QTest::newRow("semicolons") << "9600;n;8;1" << Result();
}

void TestLineSettings::parse()
{
    QFETCH(QString, text);
    QFETCH(std::optional<LineSettings>, expected);

    QCOMPARE(line_settings::Parse(text), expected);
}

QTEST_GUILESS_MAIN(TestLineSettings)
#include "tst_line_settings.moc"
