// SPDX-License-Identifier: MIT
#include "main_window/layout.h"
#include "twips/twips.h"

#include <QList>
#include <QSet>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <limits>

using layout::BoardGeometry;
using layout::TwipsRect;
using rotavex::PlayerSlot;
using Row = rotavex::PerPlayer<TwipsRect> BoardGeometry::*;

namespace
{

constexpr auto kPlayers = { PlayerSlot(1), PlayerSlot(2), PlayerSlot(3), PlayerSlot(4) };
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The window as the user first sees it: shown at some size with the chart on, then maybe
// switched to the full-height board.
BoardGeometry shown(double width, double height, bool fullHeight)
{
    BoardGeometry g = layout::DesignGeometry();
    layout::LayoutBoard(g, width, height, false);
    layout::LayoutBoard(g, width, height, fullHeight);
    return g;
}

// One field of one control array, players 1 to 4.
QList<int> column(const BoardGeometry &g, Row row, int TwipsRect::*field)
{
    QList<int> values;
    for (const PlayerSlot n : kPlayers) {
        values << (g.*row)[n].*field;
    }
    return values;
}

bool anyNegativeSize(const BoardGeometry &g)
{
    QList<TwipsRect> all { g.frBase0, g.frBase1, g.pc, g.PctLogo, g.MSChart1 };
    for (const PlayerSlot n : kPlayers) {
        all << g.lblName[n] << g.pbar[n] << g.lblRPM[n] << g.lblHI[n];
    }
    return std::any_of(
        all.begin(), all.end(), [](const TwipsRect &r) { return r.Width < 0 || r.Height < 0; });
}

} // namespace

class tst_Layout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void designInventoryIsConsistent();
    void rightHandEdgeFollowsWidth_data();
    void rightHandEdgeFollowsWidth();
    void chartRowsIgnoreHeight_data();
    void chartRowsIgnoreHeight();
    void fullHeightRows_data();
    void fullHeightRows();
    void smallOrOddWindow_data();
    void smallOrOddWindow();
    void refusedFrameHeightStillLaysRows();
    void twipsToPixels_data();
    void twipsToPixels();
    void pixelsSurviveRoundTrip_data();
    void pixelsSurviveRoundTrip();
    void minimumSize_data();
    void minimumSize();
};

void tst_Layout::designInventoryIsConsistent()
{
    QSet<QString> seen;
    for (const layout::DesignControl &control : layout::DesignInventory()) {
        const QString name = QString::fromLatin1(control.objectName);
        const QString container = QString::fromLatin1(control.container);
        QVERIFY2(!seen.contains(name), qPrintable(name));
        QVERIFY2(container.isEmpty() || seen.contains(container), qPrintable(name));
        seen.insert(name);
    }
    for (const char *name : { "frBase0", "frBase1", "pctBase", "CurTimer", "cmdStr", "OptMode0",
             "OptMode1", "pc", "CurSpeed", "MSChart1", "PctLogo", "cmdSetup", "cmdQuit", "CmdStart",
             "CmdClear", "CmdVisual", "CmdScore", "CmdDisplay", "CmdCompetition" }) {
        QVERIFY2(seen.contains(QString::fromLatin1(name)), name);
    }
    QCOMPARE(seen.size(), 19 + 4 * 4);
    QVERIFY(!layout::DesignRect("tmrRefresh") && !layout::DesignRect("cmdstr"));
    QCOMPARE(layout::DesignRect(u"CurSpeed"), (TwipsRect { 0, -30, 3195, 870 }));

    // Each array member must carry its own row, not a neighbour's.
    const BoardGeometry g = layout::DesignGeometry();
    QCOMPARE(g.frBase1, layout::DesignRect("frBase1"));
    QCOMPARE(g.PctLogo, layout::DesignRect("PctLogo"));
    for (const PlayerSlot n : kPlayers) {
        const QString s = QString::number(n);
        QCOMPARE(g.lblName[n], layout::DesignRect("lblName" + s));
        QCOMPARE(g.pbar[n], layout::DesignRect("pbar" + s));
        QCOMPARE(g.lblRPM[n], layout::DesignRect("lblRPM" + s));
        QCOMPARE(g.lblHI[n], layout::DesignRect("lblHI" + s));
    }
}

void tst_Layout::rightHandEdgeFollowsWidth_data()
{
    QTest::addColumn<double>("width");
    QTest::addColumn<bool>("fullHeight");
    QTest::newRow("10000 wide, chart") << 10000.0 << false;
    QTest::newRow("1000 wider, chart") << 11000.0 << false;
    QTest::newRow("1000 wider, full height") << 11000.0 << true;
    QTest::newRow("very wide, full height") << 40000.0 << true;
}

// Mode panel, speed display and logo keep their distance to the right edge; the board,
// the bars and the chart take up the rest; names and bars keep their left edges.
void tst_Layout::rightHandEdgeFollowsWidth()
{
    QFETCH(double, width);
    QFETCH(bool, fullHeight);
    const int w = int(width);
    const BoardGeometry g = shown(width, 9000, fullHeight);
    QCOMPARE(g.frBase0.Left, w - 100 - 2385);
    QCOMPARE(g.pc.Left, w - 40 - 2370);
    QCOMPARE(g.PctLogo.Left, w - 40 - 3600);
    QCOMPARE(g.PctLogo.Top, 9000 - 420 - 3480);
    QCOMPARE(g.frBase1.Width, w - 120 - 2385);
    QCOMPARE(g.MSChart1.Width, w - 40 - 3600);
    QCOMPARE(column(g, &BoardGeometry::lblHI, &TwipsRect::Left), QList<int>(4, w - 2505 - 1320));
    QCOMPARE(column(g, &BoardGeometry::lblRPM, &TwipsRect::Left), QList<int>(4, w - 2505 - 2560));
    QCOMPARE(column(g, &BoardGeometry::pbar, &TwipsRect::Width),
        (QList<int> { w - 5065 - 1350, w - 5065 - 1335, w - 5065 - 1335, w - 5065 - 1335 }));
    QCOMPARE(
        column(g, &BoardGeometry::pbar, &TwipsRect::Left), (QList<int> { 1230, 1215, 1215, 1215 }));
    QCOMPARE(column(g, &BoardGeometry::lblName, &TwipsRect::Left), QList<int>(4, 90));
    QCOMPARE(g.frBase1.Left, 30);
    QCOMPARE(g.MSChart1.Left, 60);
    QCOMPARE(g.frBase0, (TwipsRect { w - 2485, 525, 2385, 1845 }));
    QCOMPARE(g.pc, (TwipsRect { w - 2410, 2370, 2370, 870 }));
}

void tst_Layout::chartRowsIgnoreHeight_data()
{
    QTest::addColumn<double>("height");
    QTest::newRow("short") << 3500.0;
    QTest::newRow("tall") << 15000.0;
    QTest::newRow("taller than 16 bits") << 70000.0;
}

void tst_Layout::chartRowsIgnoreHeight()
{
    QFETCH(double, height);
    // Coming back from the full-height board must restore the chart rows as well.
    BoardGeometry g = shown(12000, height, true);
    layout::LayoutBoard(g, 12000, height, false);
    const QList<int> rows { 450, 780, 1110, 1440 };
    for (const Row row : { &BoardGeometry::lblName, &BoardGeometry::lblRPM, &BoardGeometry::lblHI,
             &BoardGeometry::pbar }) {
        QCOMPARE(column(g, row, &TwipsRect::Top), rows);
    }
    QCOMPARE(column(g, &BoardGeometry::pbar, &TwipsRect::Height), QList<int>(4, 280));
    QCOMPARE(g.frBase1.Height, 1845);
    QCOMPARE(g.MSChart1.Height, int(height) - 420 - 2415);
}

void tst_Layout::fullHeightRows_data()
{
    QTest::addColumn<int>("frameHeight");
    QTest::addColumn<QList<int>>("labels");
    QTest::addColumn<QList<int>>("bars");
    const QList<int> kept { 450, 780, 1110, 1440 };
    const QList<int> stacked { 120, 120, 120, 120 };
    const QList<int> stackedBars { -280, -280, -280, -280 };

    QTest::newRow("frame 6000, pitch 700")
        << 6000 << QList<int> { 820, 1520, 2220, 2920 } << QList<int> { 420, 1120, 1820, 2520 };
    QTest::newRow("pitch 1063.75 rounds up")
        << 7455 << QList<int> { 1184, 2248, 3312, 4376 } << QList<int> { 784, 1848, 2912, 3976 };
    QTest::newRow("pitch 1062.5 ties to even")
        << 7450 << QList<int> { 1182, 2244, 3306, 4368 } << QList<int> { 782, 1844, 2906, 3968 };
    QTest::newRow("pitch -0.5 ties to zero") << 3198 << stacked << stackedBars;
    QTest::newRow("empty frame, negative pitch") << 0 << QList<int> { -680, -1480, -2280, -3080 }
                                                 << QList<int> { -1080, -1880, -2680, -3480 };
    QTest::newRow("first row fits, later rows overflow")
        << 129055 << QList<int> { 31584, 780, 1110, 1440 } << QList<int> { 31184, 780, 1110, 1440 };
    QTest::newRow("row sum overflows before the bar rise") << 134000 << kept << kept;
    QTest::newRow("pitch 32767.5 rounds out of 16 bits") << 134270 << stacked << stackedBars;
    QTest::newRow("pitch far beyond 16 bits") << 1000000 << stacked << stackedBars;
}

void tst_Layout::fullHeightRows()
{
    QFETCH(int, frameHeight);
    QFETCH(QList<int>, labels);
    QFETCH(QList<int>, bars);
    const double height = frameHeight + 420 + 525; // frBase1 sits at Top 525
    const BoardGeometry withChart = shown(12000, height, false);
    const BoardGeometry g = shown(12000, height, true);
    QCOMPARE(g.frBase1.Height, frameHeight);
    for (const Row row :
        { &BoardGeometry::lblName, &BoardGeometry::lblRPM, &BoardGeometry::lblHI }) {
        QCOMPARE(column(g, row, &TwipsRect::Top), labels);
    }
    QCOMPARE(column(g, &BoardGeometry::pbar, &TwipsRect::Top), bars);
    QCOMPARE(column(g, &BoardGeometry::pbar, &TwipsRect::Height), QList<int>(4, 800));
    QCOMPARE(g.MSChart1, withChart.MSChart1);
}

void tst_Layout::smallOrOddWindow_data()
{
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    QTest::addColumn<bool>("fullHeight");
    QTest::newRow("200 x 200, chart") << 200.0 << 200.0 << false;
    QTest::newRow("200 x 200, full height") << 200.0 << 200.0 << true;
    QTest::newRow("minimised to nothing") << 0.0 << 0.0 << true;
    QTest::newRow("narrow but tall") << 300.0 << 20000.0 << true;
    QTest::newRow("wide but flat") << 20000.0 << 300.0 << false;
    QTest::newRow("not a number") << kNaN << kNaN << true;
    QTest::newRow("infinite") << HUGE_VAL << HUGE_VAL << false;
    QTest::newRow("beyond int range") << 1e12 << -1e12 << true;
}

// The window passes through such sizes while minimised or dragged tiny: nothing may get a
// negative size, and the next ordinary size must lay out as if nothing had happened.
void tst_Layout::smallOrOddWindow()
{
    QFETCH(double, width);
    QFETCH(double, height);
    QFETCH(bool, fullHeight);
    const BoardGeometry normal = shown(11000, 9000, fullHeight);
    BoardGeometry g = normal;
    layout::LayoutBoard(g, width, height, fullHeight);
    QVERIFY(!anyNegativeSize(g));
    layout::LayoutBoard(g, 11000, 9000, fullHeight);
    QCOMPARE(g, normal);
}

void tst_Layout::refusedFrameHeightStillLaysRows()
{
    const BoardGeometry g = shown(200, 200, true);
    QCOMPARE(g.frBase1.Height, 1845);
    // The pitch comes from the height the frame kept: 1845 / 4 - 800 = -338.75 -> -339.
    QCOMPARE(column(g, &BoardGeometry::lblRPM, &TwipsRect::Top),
        (QList<int> { -219, -558, -897, -1236 }));
    QCOMPARE(column(g, &BoardGeometry::pbar, &TwipsRect::Top),
        (QList<int> { -619, -958, -1297, -1636 }));
}

void tst_Layout::twipsToPixels_data()
{
    QTest::addColumn<double>("twips");
    QTest::addColumn<double>("dpi");
    QTest::addColumn<int>("pixels");
    QTest::newRow("an inch at 96 dpi") << 1440.0 << 96.0 << 96;
    QTest::newRow("half a pixel rounds up") << 7.5 << 96.0 << 1;
    QTest::newRow("negative half rounds away from zero") << -7.5 << 96.0 << -1;
    QTest::newRow("design width at 120 dpi") << 9975.0 << 120.0 << 831;
    QTest::newRow("zero dpi") << 1440.0 << 0.0 << 0;
    QTest::newRow("dpi not a number") << 1440.0 << kNaN << 0;
    QTest::newRow("twips not a number") << kNaN << 96.0 << 0;
    QTest::newRow("beyond int") << 1e20 << 96.0 << std::numeric_limits<int>::max();
    QTest::newRow("beyond int, negative") << -1e20 << 96.0 << std::numeric_limits<int>::min();
}

void tst_Layout::twipsToPixels()
{
    QFETCH(double, twips);
    QFETCH(double, dpi);
    QFETCH(int, pixels);
    QCOMPARE(twips::TwipsToPixels(twips, dpi), pixels);
}

void tst_Layout::pixelsSurviveRoundTrip_data()
{
    QTest::addColumn<double>("dpi");
    QTest::newRow("96 dpi") << 96.0;
    QTest::newRow("120 dpi") << 120.0;
    QTest::newRow("odd 110.5 dpi") << 110.5;
    QTest::newRow("high 288 dpi") << 288.0;
}

// A window size read in pixels, turned into twips for the layout and back, must not creep.
void tst_Layout::pixelsSurviveRoundTrip()
{
    QFETCH(double, dpi);
    QCOMPARE(twips::PixelsToTwips(1, 96.0), 15.0);
    QCOMPARE(twips::PixelsToTwips(10, 0.0), 0.0);
    for (int px = -500; px <= 5000; ++px) {
        const int back = twips::TwipsToPixels(twips::PixelsToTwips(px, dpi), dpi);
        if (back != px) {
            QFAIL(qPrintable(QStringLiteral("%1 px came back as %2").arg(px).arg(back)));
        }
    }
}

void tst_Layout::minimumSize_data()
{
    // The bounds, worked out by hand from the design: the rightmost top button's edge
    // (CmdScore 7485 + 1440, CmdCompetition 6795 + 480, CmdDisplay 6255 + 480), the speed
    // label's left edge reaching the
    // name label's right edge (W - 2505 - 2560 = 90 + 1515), and the logo reaching the speed
    // display (H - 420 - 3480 = 2370 + 870).
    QTest::addColumn<double>("frameWidth");
    QTest::addColumn<double>("frameHeight");
    QTest::addColumn<QStringList>("hidden");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("no frame: the top buttons and the logo decide")
        << 0.0 << 0.0 << QStringList() << 8925 << 7140;
    QTest::newRow("a frame narrows the client area")
        << 120.0 << 450.0 << QStringList() << 9045 << 7140;
    QTest::newRow("without the score button the competition button decides")
        << 0.0 << 0.0 << QStringList { "CmdScore" } << 7275 << 7140;
    QTest::newRow("then the display button")
        << 0.0 << 0.0 << QStringList { "CmdScore", "CmdCompetition" } << 6735 << 7140;
    QTest::newRow("with none, the speed labels against the names")
        << 0.0 << 0.0 << QStringList { "CmdScore", "CmdCompetition", "CmdDisplay" } << 6670 << 7140;
}

void tst_Layout::minimumSize()
{
    QFETCH(double, frameWidth);
    QFETCH(double, frameHeight);
    QFETCH(QStringList, hidden);
    QFETCH(int, width);
    QFETCH(int, height);
    const layout::TwipsSize minimum = layout::MinimumOuterSize(frameWidth, frameHeight, hidden);
    QCOMPARE(minimum.Width, width);
    QCOMPARE(minimum.Height, height);
}

QTEST_GUILESS_MAIN(tst_Layout)
#include "tst_layout.moc"
