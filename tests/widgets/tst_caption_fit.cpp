// SPDX-License-Identifier: MIT
#include "main_window/layout.h"
#include "widgets/caption_fit.h"

#include <QTest>

#include <cmath>

class tst_CaptionFit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void largestFittingSize_data();
    void largestFittingSize();
    void measurablePrefix_data();
    void measurablePrefix();
    void nameRoomLeftOfTheBar_data();
    void nameRoomLeftOfTheBar();
};

void tst_CaptionFit::largestFittingSize_data()
{
    // The widest caption takes `perPoint` pixels for each point of size, plus `hinting` on
    // sizes that are not whole points (a crude stand-in for rounding at small sizes).
    QTest::addColumn<double>("perPoint");
    QTest::addColumn<double>("hinting");
    QTest::addColumn<double>("room");
    QTest::addColumn<double>("size");
    QTest::newRow("fits at the design size") << 8.0 << 0.0 << 80.0 << 9.0;
    QTest::newRow("exactly at a step") << 10.0 << 0.0 << 75.0 << 7.5;
    QTest::newRow("between steps rounds down") << 10.0 << 0.0 << 74.0 << 7.25;
    QTest::newRow("proportional guess too large") << 10.0 << 3.0 << 75.0 << 7.0;
    QTest::newRow("nothing fits gives the smallest") << 100.0 << 0.0 << 10.0 << 6.0;
    QTest::newRow("no room gives the smallest") << 10.0 << 0.0 << 0.0 << 6.0;
    QTest::newRow("empty captions keep the design size") << 0.0 << 0.0 << 0.0 << 9.0;
}

void tst_CaptionFit::largestFittingSize()
{
    QFETCH(double, perPoint);
    QFETCH(double, hinting);
    QFETCH(double, room);
    QFETCH(double, size);
    int asked = 0;
    const auto widestAt = [&](double pointSize) {
        ++asked;
        return perPoint * pointSize + (std::floor(pointSize) == pointSize ? 0.0 : hinting);
    };
    QCOMPARE(caption_fit::LargestFittingPointSize(9.0, 6.0, room, widestAt), size);
    QVERIFY2(asked <= 6, qPrintable(QString::number(asked)));
}

void tst_CaptionFit::measurablePrefix_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("maxChars");
    QTest::addColumn<QString>("prefix");
    const QString clef = QString::fromUtf16(u"\U0001D11E"); // two UTF-16 units
    QTest::newRow("short text whole") << "Ann" << 10 << "Ann";
    QTest::newRow("cut at the limit") << "Alexandra" << 4 << "Alex";
    QTest::newRow("never half a surrogate pair") << ("abc" + clef) << 4 << "abc";
    QTest::newRow("whole surrogate pair kept") << ("ab" + clef + "d") << 4 << ("ab" + clef);
    QTest::newRow("no room") << "Ann" << 0 << "";
}

void tst_CaptionFit::measurablePrefix()
{
    QFETCH(QString, text);
    QFETCH(int, maxChars);
    QFETCH(QString, prefix);
    QCOMPARE(caption_fit::MeasurablePrefix(text, maxChars), prefix);
}

void tst_CaptionFit::nameRoomLeftOfTheBar_data()
{
    QTest::addColumn<bool>("fullHeight");
    QTest::addColumn<int>("barLeft");
    QTest::addColumn<int>("room");
    QTest::newRow("chart layout, first bar") << false << 1230 << 1140;
    QTest::newRow("full-height layout") << true << 1230 << 1140;
    QTest::newRow("bar right of the label") << false << 2000 << 1515;
    QTest::newRow("bar over the whole label") << false << 0 << 0;
}

void tst_CaptionFit::nameRoomLeftOfTheBar()
{
    QFETCH(bool, fullHeight);
    QFETCH(int, barLeft);
    QFETCH(int, room);
    layout::BoardGeometry geometry = layout::DesignGeometry();
    geometry.pbar[1].Left = barLeft;
    layout::LayoutBoard(geometry, 12000, 9000, fullHeight);
    QCOMPARE(layout::NameRoomTwips(geometry, 1), room);
}

QTEST_GUILESS_MAIN(tst_CaptionFit)
#include "tst_caption_fit.moc"
