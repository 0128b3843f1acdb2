// SPDX-License-Identifier: MIT
#include "widgets/window_place.h"

#include <QTest>

using Areas = QList<QRect>;

class tst_WindowPlace : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fitInside_data();
    void fitInside();
    void besideOwner_data();
    void besideOwner();
    void storedText_data();
    void storedText();
};

void tst_WindowPlace::fitInside_data()
{
    QTest::addColumn<QRect>("wanted");
    QTest::addColumn<Areas>("areas");
    QTest::addColumn<QRect>("expected");
    const QRect fullHd(0, 0, 1920, 1040);
    const QRect rightOfIt(1920, 0, 1920, 1080);

    QTest::newRow("inside already: left where it is")
        << QRect(100, 100, 800, 600) << Areas { fullHd } << QRect(100, 100, 800, 600);
    QTest::newRow("runs off the bottom of a 1280x720 screen with a panel") << QRect(
        640, 375, 1280, 720) << Areas { QRect(0, 27, 1280, 693) } << QRect(0, 27, 1280, 693);
    QTest::newRow("screen gone: back on the primary, same size")
        << QRect(2100, 200, 800, 600) << Areas { fullHd } << QRect(1120, 200, 800, 600);
    QTest::newRow("screen smaller now: shrunk to it")
        << QRect(0, 0, 1920, 1080) << Areas { QRect(0, 0, 1366, 768) } << QRect(0, 0, 1366, 768);
    QTest::newRow("two screens: stays on the second")
        << QRect(2200, 100, 800, 600) << Areas { fullHd, rightOfIt } << QRect(2200, 100, 800, 600);
    QTest::newRow("two screens: straddling goes to the one it covers most")
        << QRect(1700, 100, 800, 600) << Areas { fullHd, rightOfIt } << QRect(1920, 100, 800, 600);
    QTest::newRow("second screen left of the primary, negative coordinates") << QRect(-1500, 50,
        800, 600) << Areas { fullHd, QRect(-1280, 0, 1280, 1024) } << QRect(-1280, 50, 800, 600);
    QTest::newRow("title bar above the screen comes down")
        << QRect(300, -40, 800, 600) << Areas { fullHd } << QRect(300, 0, 800, 600);
}

void tst_WindowPlace::fitInside()
{
    QFETCH(QRect, wanted);
    QFETCH(Areas, areas);
    QFETCH(QRect, expected);
    const QRect placed = window_place::FitInside(wanted, areas);
    QCOMPARE(placed, expected);
}

void tst_WindowPlace::besideOwner_data()
{
    QTest::addColumn<QRect>("owner");
    QTest::addColumn<QRect>("expected");
    // A 1180x660 window (at least 700x400) beside a 665x526 board on one 1920x1080 screen.
    QTest::newRow("room on the right") << QRect(0, 0, 665, 526) << QRect(665, 0, 1180, 660);
    QTest::newRow("board on the right: room on its left")
        << QRect(1255, 100, 665, 526) << QRect(75, 100, 1180, 660);
    QTest::newRow("board in the middle: below it, shrunk to the room")
        << QRect(600, 100, 665, 526) << QRect(600, 626, 1180, 454);
    QTest::newRow("board filling the screen: over its right edge")
        << QRect(0, 0, 1920, 1080) << QRect(740, 0, 1180, 660);
}

void tst_WindowPlace::besideOwner()
{
    QFETCH(QRect, owner);
    QFETCH(QRect, expected);
    const QRect placed = window_place::BesideOwner(
        owner, QSize(1180, 660), QSize(700, 400), { QRect(0, 0, 1920, 1080) });
    QCOMPARE(placed, expected);
}

void tst_WindowPlace::storedText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("place");
    QTest::newRow("as written") << QStringLiteral("10,20,800,600") << QRect(10, 20, 800, 600);
    QTest::newRow("left of the primary screen")
        << QStringLiteral("-1280,-5,640,480") << QRect(-1280, -5, 640, 480);
    QTest::newRow("no width: damaged") << QStringLiteral("10,20,0,600") << QRect();
    QTest::newRow("beyond any desktop") << QStringLiteral("99999999,0,800,600") << QRect();
}

void tst_WindowPlace::storedText()
{
    QFETCH(QString, text);
    QFETCH(QRect, place);
    const std::optional<QRect> parsed = window_place::ParsePlace(text);
    QCOMPARE(parsed.value_or(QRect()), place);
    if (parsed) {
        QCOMPARE(window_place::PlaceText(*parsed), text);
    }
}

QTEST_GUILESS_MAIN(tst_WindowPlace)
#include "tst_window_place.moc"
