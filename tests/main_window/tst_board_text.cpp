// SPDX-License-Identifier: MIT
#include "main_window/board_text.h"

#include <QLocale>
#include <QTest>

using game::Reading;

Q_DECLARE_METATYPE(Reading)
Q_DECLARE_METATYPE(std::optional<qint32>)

class tst_BoardText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // Revolution totals are grouped with the user's separator; pin one for the test.
        QLocale::setDefault(QLocale(QLocale::English));
    }

    void captions_data()
    {
        QTest::addColumn<Reading>("reading");
        QTest::addColumn<qint32>("rpm");
        QTest::addColumn<double>("revolutions");
        QTest::addColumn<std::optional<qint32>>("record");
        QTest::addColumn<QString>("speed");
        QTest::addColumn<QString>("recordCaption");
        QTest::addColumn<QString>("tag");

        const std::optional<qint32> none;
        QTest::newRow("start-up") << Reading::Rest << 0 << 0.0 << none << "0 rpm"
                                  << "0 rpm"
                                  << "";
        QTest::newRow("after Clear") << Reading::Rest << 0 << 0.0 << std::optional(0) << "0 rpm"
                                     << "0 rpm"
                                     << "0";
        QTest::newRow("a Strength game starts")
            << Reading::StrengthRest << 0 << 250.0 << std::optional(0) << "0 rev"
            << "0 rpm"
            << "0";
        QTest::newRow("speed 7500")
            << Reading::Speed << 7500 << 0.0 << std::optional(9000) << " 7500 rpm"
            << "9000 rpm"
            << "9000";
        QTest::newRow("no speed") << Reading::Speed << 0 << 0.0 << std::optional(0) << " 0 rpm"
                                  << "0 rpm"
                                  << "0";
        QTest::newRow("top of the range")
            << Reading::Speed << 20000 << 0.0 << std::optional(20000) << " 20000 rpm"
            << "20000 rpm"
            << "20000";
        QTest::newRow("no revolutions show no digits")
            << Reading::Strength << 0 << 0.4 << std::optional(0) << " rev"
            << "0 rpm max"
            << "0";
        QTest::newRow("revolutions rounded")
            << Reading::Strength << 1000 << 16.7 << std::optional(1000) << "17 rev"
            << "1000 rpm max"
            << "1000";
        QTest::newRow("thousands grouped")
            << Reading::Strength << 6000 << 2900.0 << std::optional(6000) << "2,900 rev"
            << "6000 rpm max"
            << "6000";
        QTest::newRow("millions grouped")
            << Reading::Strength << 6000 << 1234566.6 << std::optional(6000) << "1,234,567 rev"
            << "6000 rpm max"
            << "6000";
    }

    // The main window's captions, written from the game's numbers.
    void captions()
    {
        QFETCH(Reading, reading);
        QFETCH(qint32, rpm);
        QFETCH(double, revolutions);
        QFETCH(std::optional<qint32>, record);
        game::Snapshot snapshot;
        snapshot.reading = reading;
        snapshot.players[3].rpm = rpm;
        snapshot.players[3].revolutions = revolutions;
        snapshot.players[3].record = record;
        QTEST(board_text::SpeedCaption(snapshot, 3), "speed");
        QTEST(board_text::RecordCaption(snapshot, 3), "recordCaption");
        QTEST(board_text::RecordTag(snapshot, 3), "tag");
    }
};

QTEST_GUILESS_MAIN(tst_BoardText)
#include "tst_board_text.moc"
