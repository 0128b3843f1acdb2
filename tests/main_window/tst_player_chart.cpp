// SPDX-License-Identifier: MIT
#include "main_window/chart_layout.h"
#include "main_window/player_chart.h"
#include "shared/bgr_colour.h"
#include "shared/player_tables.h"

#include <QImage>
#include <QTest>

#include <algorithm>
#include <cstdlib>

using main_window::PlayerChart;

// The chart as drawn: a player's cells become a line, a gap stays empty, a lone point between
// two gaps shows, and a speed beyond the scale stays inside the plot.
class tst_PlayerChart : public QObject
{
    Q_OBJECT
private slots:
    void drawsWhatTheTableHolds_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("drawn");
        QTest::newRow("inside a run") << 15 << true;
        QTest::newRow("in a gap") << 25 << false;
        QTest::newRow("a lone point") << 30 << true;
        QTest::newRow("after the last cell") << 60 << false;
    }
    void drawsWhatTheTableHolds()
    {
        QFETCH(int, row);
        QFETCH(bool, drawn);
        PlayerChart chart;
        chart.resize(407, 380);
        speed_mode::ChartTable table;
        for (int r = 10; r <= 20; ++r) {
            table.setCell(r, 2, 10000);
        }
        table.setCell(30, 2, 10000);
        table.setCell(40, 3, 90000); // far beyond the scale, then back on it
        table.setCell(41, 3, 5000);
        chart.setData(table);
        const QImage picture = chart.grab().toImage();
        const QPoint at = chart_layout::PointAt(chart.plotArea(), row, 10000).toPoint();
        const QColor colour = rotavex::ColourFromBgr(rotavex::kPlayerColours[2]);
        // A line 1.5 px wide is blended over two pixels: the nearer one is close to the colour.
        int nearest = 255 * 3;
        for (const int dy : { -1, 0, 1 }) {
            const QColor seen = picture.pixelColor(at + QPoint(0, dy));
            nearest = std::min(nearest,
                std::abs(seen.red() - colour.red()) + std::abs(seen.green() - colour.green())
                    + std::abs(seen.blue() - colour.blue()));
        }
        QCOMPARE(nearest < 90, drawn);
        // Nothing of the line to the far point reaches above the plot.
        const int above = int(chart.plotArea().top()) - 3;
        for (int x = int(chart.plotArea().left()); x < int(chart.plotArea().right()); ++x) {
            QCOMPARE(picture.pixelColor(x, above), QColor(Qt::white));
        }
    }
};

QTEST_MAIN(tst_PlayerChart)
#include "tst_player_chart.moc"
