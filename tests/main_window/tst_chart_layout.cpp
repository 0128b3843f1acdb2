// SPDX-License-Identifier: MIT
#include "main_window/chart_layout.h"

#include <QTest>

using chart_layout::Frame;

class tst_ChartLayout : public QObject
{
    Q_OBJECT
private slots:
    // At any size the chart may get, its labels and legend stay inside it and off the plot.
    void partsStayInside_data()
    {
        QTest::addColumn<QSizeF>("size");
        QTest::newRow("design size") << QSizeF(407, 380);
        QTest::newRow("full screen") << QSizeF(1600, 900);
        QTest::newRow("squeezed") << QSizeF(60, 40);
    }
    void partsStayInside()
    {
        QFETCH(QSizeF, size);
        const chart_layout::TextMetrics text { 13, 30, 12 };
        const Frame f = chart_layout::Arrange(size, text);
        QVERIFY(f.plot.width() >= 1 && f.plot.height() >= 1);
        QCOMPARE(chart_layout::PointAt(f.plot, 1, 0), f.plot.bottomLeft());
        QCOMPARE(chart_layout::PointAt(f.plot, speed_mode::kChartRows, 20000), f.plot.topRight());
        if (size.width() < 100) {
            return; // too small for the text: the plot keeps a pixel, the rest may overlap
        }
        const QRectF whole(QPointF(0, 0), size);
        QVERIFY(whole.contains(chart_layout::RpmLabelBox(f, chart_layout::kRpmTicks - 1, 30, 13)));
        const QRectF lastRow = chart_layout::RowLabelBox(f, chart_layout::kRowTicks - 1, 12, 13);
        QVERIFY(whole.contains(lastRow));
        QVERIFY(lastRow.bottom() <= f.legendTop);
        QVERIFY(f.legendTop + text.lineHeight <= size.height());
        // The legend is centred: as much room before its first entry as after its last.
        const auto lefts = chart_layout::LegendLefts(f, size.width(), { 40, 40, 40, 40 });
        const double end = lefts.back() + f.markerSide + f.gap + 40;
        QVERIFY(std::abs(lefts.front() - (size.width() - end)) <= 1);
        // An empty seat's entry takes no room: the three left stay centred, side by side.
        const auto three = chart_layout::LegendLefts(
            f, size.width(), { 40, 40, 40, 40 }, { true, false, true, true });
        QCOMPARE(three[2], three[0] + f.markerSide + f.gap + 40 + 2 * f.gap);
        const double threeEnd = three[3] + f.markerSide + f.gap + 40;
        QVERIFY(std::abs(three[0] - (size.width() - threeEnd)) <= 1);
    }
};

QTEST_GUILESS_MAIN(tst_ChartLayout)
#include "tst_chart_layout.moc"
