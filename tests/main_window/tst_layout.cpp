// SPDX-License-Identifier: MIT
#include "main_window/layout.h"
#include "main_window/twips.h"

#include <QList>
#include <QPoint>
#include <QSet>
#include <QSize>
#include <QTest>

#include <cmath>
#include <limits>

using layout::BoardGeometry;
using layout::TwipsRect;
using rotavex::PlayerSlot;

namespace
{

constexpr auto kPlayers = { PlayerSlot(1), PlayerSlot(2), PlayerSlot(3), PlayerSlot(4) };

// The window as the user usually sees it first: shown at some size with the chart on.
BoardGeometry shownWithChart(double width, double height)
{
    BoardGeometry g = layout::DesignGeometry();
    layout::LayoutBoard(g, width, height, false);
    return g;
}

// Outer height whose full-height board frame is `frameHeight` (frBase1 sits at Top 525).
double outerHeightForFrame(int frameHeight) { return frameHeight + 420 + 525; }

QList<int> labelTops(const BoardGeometry &g)
{
    QList<int> tops;
    for (const PlayerSlot n : kPlayers) {
        // The three labels of a row always share their Top.
        if (g.lblName[n].Top != g.lblHI[n].Top || g.lblName[n].Top != g.lblRPM[n].Top) {
            return {};
        }
        tops << g.lblName[n].Top;
    }
    return tops;
}

QList<int> barTops(const BoardGeometry &g)
{
    QList<int> tops;
    for (const PlayerSlot n : kPlayers) {
        tops << g.pbar[n].Top;
    }
    return tops;
}

QList<int> barHeights(const BoardGeometry &g)
{
    QList<int> heights;
    for (const PlayerSlot n : kPlayers) {
        heights << g.pbar[n].Height;
    }
    return heights;
}

bool noNegativeSize(const TwipsRect &r) { return r.Width >= 0 && r.Height >= 0; }

bool noNegativeSize(const BoardGeometry &g)
{
    bool ok = noNegativeSize(g.frBase0) && noNegativeSize(g.frBase1) && noNegativeSize(g.pc)
        && noNegativeSize(g.PctLogo) && noNegativeSize(g.MSChart1);
    for (const PlayerSlot n : kPlayers) {
        ok = ok && noNegativeSize(g.lblName[n]) && noNegativeSize(g.pbar[n])
            && noNegativeSize(g.lblRPM[n]) && noNegativeSize(g.lblHI[n]);
    }
    return ok;
}

} // namespace

class tst_Layout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void designInventoryIsConsistent();
    void designGeometryMatchesInventory();
    void rightHandEdgeAtKnownWidth_data();
    void rightHandEdgeAtKnownWidth();
    void widerWindow_data();
    void widerWindow();
    void chartRowsIgnoreHeight_data();
    void chartRowsIgnoreHeight();
    void fullHeightRows_data();
    void fullHeightRows();
    void smallOrOddWindow_data();
    void smallOrOddWindow();
    void refusedFrameHeightStillLaysRows();
    void hugeWindow();
    void twipsToPixels_data();
    void twipsToPixels();
    void pixelsToTwips_data();
    void pixelsToTwips();
    void pixelsSurviveRoundTrip_data();
    void pixelsSurviveRoundTrip();
};

void tst_Layout::designInventoryIsConsistent()
{
    QSet<QString> seen;
    for (const layout::DesignControl &control : layout::DesignInventory()) {
        const QString name = QString::fromLatin1(control.objectName);
        QVERIFY2(!seen.contains(name), qPrintable(name));
        const QString container = QString::fromLatin1(control.container);
        QVERIFY2(container.isEmpty() || seen.contains(container), qPrintable(name));
        seen.insert(name);
        QVERIFY2(noNegativeSize(control.rect), qPrintable(name));
    }
    const QStringList needed { "frBase0", "frBase1", "pctBase", "CurTimer", "cmdStr", "OptMode0",
        "OptMode1", "pc", "CurSpeed", "MSChart1", "PctLogo", "cmdSetup", "cmdQuit", "CmdStart",
        "CmdClear", "CmdVisual", "CmdScore" };
    for (const QString &name : needed) {
        QVERIFY2(layout::DesignRect(name).has_value(), qPrintable(name));
    }
    for (const QString row : { "lblName", "pbar", "lblRPM", "lblHI" }) {
        for (const PlayerSlot n : kPlayers) {
            QVERIFY(layout::DesignRect(row + QString::number(n)).has_value());
        }
        QVERIFY(!layout::DesignRect(row + "0").has_value());
        QVERIFY(!layout::DesignRect(row + "5").has_value());
    }
    QCOMPARE(seen.size(), 17 + 16);
    QVERIFY(!layout::DesignRect("tmrRefresh").has_value());
    QVERIFY(!layout::DesignRect("cmdstr").has_value());
    QVERIFY(!layout::DesignRect("").has_value());
    QCOMPARE(layout::DesignRect(u"CurTimer"), (TwipsRect { 1590, 15, 1245, 480 }));
    QCOMPARE(layout::DesignRect(QStringLiteral("CurSpeed")), (TwipsRect { 0, -30, 3195, 870 }));
}

// Each array member must carry its own row, not a neighbour's.
void tst_Layout::designGeometryMatchesInventory()
{
    const BoardGeometry g = layout::DesignGeometry();
    QCOMPARE(g.frBase0, *layout::DesignRect("frBase0"));
    QCOMPARE(g.frBase1, *layout::DesignRect("frBase1"));
    QCOMPARE(g.pc, *layout::DesignRect("pc"));
    QCOMPARE(g.PctLogo, *layout::DesignRect("PctLogo"));
    QCOMPARE(g.MSChart1, *layout::DesignRect("MSChart1"));
    for (const PlayerSlot n : kPlayers) {
        const QString s = QString::number(n);
        QCOMPARE(g.lblName[n], *layout::DesignRect("lblName" + s));
        QCOMPARE(g.pbar[n], *layout::DesignRect("pbar" + s));
        QCOMPARE(g.lblRPM[n], *layout::DesignRect("lblRPM" + s));
        QCOMPARE(g.lblHI[n], *layout::DesignRect("lblHI" + s));
    }
    QCOMPARE(g.pbar[1].Left, 1230);
    QCOMPARE(g.pbar[2].Left, 1215);
    QCOMPARE(g.lblHI[3].Top, 1125);
}

void tst_Layout::rightHandEdgeAtKnownWidth_data()
{
    QTest::addColumn<bool>("fullHeight");
    QTest::newRow("chart layout") << false;
    QTest::newRow("full-height layout") << true;
}

void tst_Layout::rightHandEdgeAtKnownWidth()
{
    QFETCH(bool, fullHeight);
    BoardGeometry g = layout::DesignGeometry();
    layout::LayoutBoard(g, 10000, 9000, fullHeight);
    QCOMPARE(g.frBase1.Width, 7495);
    QCOMPARE(g.frBase0.Left, 7515);
    QCOMPARE(g.pc.Left, 7590);
    QCOMPARE(g.PctLogo.Left, 6360);
    QCOMPARE(g.PctLogo.Top, 9000 - 420 - 3480);
    QCOMPARE(g.MSChart1.Width, 6360);
    for (const PlayerSlot n : kPlayers) {
        QCOMPARE(g.lblHI[n].Left, 6175);
        QCOMPARE(g.lblRPM[n].Left, 4935);
        QCOMPARE(g.pbar[n].Width, 4935 - g.pbar[n].Left - 120);
        QCOMPARE(g.lblName[n].Left, 90);
    }
    QCOMPARE(g.pbar[1].Width, 3585);
    QCOMPARE(g.pbar[4].Width, 3600);
    // Untouched by any layout.
    QCOMPARE(g.frBase0.Top, 525);
    QCOMPARE(g.frBase0.Width, 2385);
    QCOMPARE(g.frBase0.Height, 1845);
    QCOMPARE(g.frBase1.Left, 30);
    QCOMPARE(g.frBase1.Top, 525);
    QCOMPARE(g.pc.Top, 2370);
    QCOMPARE((QSize { g.pc.Width, g.pc.Height }), QSize(2370, 870));
    QCOMPARE((QSize { g.PctLogo.Width, g.PctLogo.Height }), QSize(3600, 3480));
    QCOMPARE((QPoint { g.MSChart1.Left, g.MSChart1.Top }), QPoint(60, 2415));
}

void tst_Layout::widerWindow_data()
{
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    QTest::addColumn<bool>("fullHeight");
    QTest::newRow("design size, chart") << 10125.0 << 8430.0 << false;
    QTest::newRow("design size, full height") << 10125.0 << 8430.0 << true;
    QTest::newRow("wide window, chart") << 25000.0 << 12000.0 << false;
    QTest::newRow("fractional twips, full height") << 11337.6 << 9001.4 << true;
}

void tst_Layout::widerWindow()
{
    QFETCH(double, width);
    QFETCH(double, height);
    QFETCH(bool, fullHeight);
    BoardGeometry narrow = shownWithChart(width, height);
    layout::LayoutBoard(narrow, width, height, fullHeight);
    BoardGeometry wide = narrow;
    layout::LayoutBoard(wide, width + 1000, height, fullHeight);

    QCOMPARE(wide.frBase0.Left, narrow.frBase0.Left + 1000);
    QCOMPARE(wide.pc.Left, narrow.pc.Left + 1000);
    QCOMPARE(wide.PctLogo.Left, narrow.PctLogo.Left + 1000);
    QCOMPARE(wide.frBase1.Width, narrow.frBase1.Width + 1000);
    QCOMPARE(wide.MSChart1.Width, narrow.MSChart1.Width + 1000);
    QCOMPARE(wide.frBase1.Left, narrow.frBase1.Left);
    QCOMPARE(wide.MSChart1.Left, narrow.MSChart1.Left);
    for (const PlayerSlot n : kPlayers) {
        QCOMPARE(wide.pbar[n].Width, narrow.pbar[n].Width + 1000);
        QCOMPARE(wide.lblRPM[n].Left, narrow.lblRPM[n].Left + 1000);
        QCOMPARE(wide.lblHI[n].Left, narrow.lblHI[n].Left + 1000);
        QCOMPARE(wide.lblName[n].Left, narrow.lblName[n].Left);
        QCOMPARE(wide.pbar[n].Left, narrow.pbar[n].Left);
        QCOMPARE(wide.lblRPM[n].Width, narrow.lblRPM[n].Width);
        QCOMPARE(wide.lblHI[n].Width, narrow.lblHI[n].Width);
        // The speed label ends 40 twips before the record, the bar 120 before the speed.
        QCOMPARE(wide.lblRPM[n].Left + wide.lblRPM[n].Width + 40, wide.lblHI[n].Left);
        QCOMPARE(wide.pbar[n].Left + wide.pbar[n].Width + 120, wide.lblRPM[n].Left);
        QCOMPARE(wide.lblHI[n].Left + wide.lblHI[n].Width + 120, wide.frBase1.Width);
    }
    QCOMPARE(labelTops(wide), labelTops(narrow));
    QCOMPARE(barTops(wide), barTops(narrow));
    QCOMPARE(wide.frBase1.Height, narrow.frBase1.Height);
    QCOMPARE(wide.MSChart1.Height, narrow.MSChart1.Height);
}

void tst_Layout::chartRowsIgnoreHeight_data()
{
    QTest::addColumn<double>("height");
    QTest::newRow("short") << 3500.0;
    QTest::newRow("design") << 8430.0;
    QTest::newRow("tall") << 15000.0;
    QTest::newRow("taller than 16 bits") << 70000.0;
}

void tst_Layout::chartRowsIgnoreHeight()
{
    QFETCH(double, height);
    // Coming back from the full-height board must also restore the chart rows.
    BoardGeometry g = layout::DesignGeometry();
    layout::LayoutBoard(g, 12000, height, true);
    layout::LayoutBoard(g, 12000, height, false);
    const QList<int> rows { 450, 780, 1110, 1440 };
    QCOMPARE(labelTops(g), rows);
    QCOMPARE(barTops(g), rows);
    QCOMPARE(barHeights(g), QList<int>(4, 280));
    QCOMPARE(g.frBase1.Height, 1845);
    QCOMPARE(g.MSChart1.Height, int(height) - 420 - 2415);
    QCOMPARE(g.PctLogo.Top, int(height) - 420 - 3480);
}

void tst_Layout::fullHeightRows_data()
{
    QTest::addColumn<int>("frameHeight");
    QTest::addColumn<QList<int>>("labels");
    QTest::addColumn<QList<int>>("bars");
    const QList<int> kept { 450, 780, 1110, 1440 };

    QTest::newRow("frame 6000, pitch 700")
        << 6000 << QList<int> { 820, 1520, 2220, 2920 } << QList<int> { 420, 1120, 1820, 2520 };
    QTest::newRow("pitch 1063.75 rounds up")
        << 7455 << QList<int> { 1184, 2248, 3312, 4376 } << QList<int> { 784, 1848, 2912, 3976 };
    QTest::newRow("pitch 1062.5 ties to even, down")
        << 7450 << QList<int> { 1182, 2244, 3306, 4368 } << QList<int> { 782, 1844, 2906, 3968 };
    QTest::newRow("pitch 1063.5 ties to even, up")
        << 7454 << QList<int> { 1184, 2248, 3312, 4376 } << QList<int> { 784, 1848, 2912, 3976 };
    QTest::newRow("pitch 0.5 ties to zero")
        << 3202 << QList<int> { 120, 120, 120, 120 } << QList<int> { -280, -280, -280, -280 };
    QTest::newRow("pitch -0.5 ties to zero")
        << 3198 << QList<int> { 120, 120, 120, 120 } << QList<int> { -280, -280, -280, -280 };
    QTest::newRow("low frame, negative pitch") << 1000 << QList<int> { -430, -980, -1530, -2080 }
                                               << QList<int> { -830, -1380, -1930, -2480 };
    QTest::newRow("empty frame") << 0 << QList<int> { -680, -1480, -2280, -3080 }
                                 << QList<int> { -1080, -1880, -2680, -3480 };
    QTest::newRow("largest 16-bit pitch, every row sum overflows") << 134268 << kept << kept;
    QTest::newRow("first row fits, later rows overflow")
        << 129055 << QList<int> { 31584, 780, 1110, 1440 } << QList<int> { 31184, 780, 1110, 1440 };
    QTest::newRow("row sum overflows before the bar rise") << 134000 << kept << kept;
    QTest::newRow("pitch 32767.5 rounds out of 16 bits")
        << 134270 << QList<int> { 120, 120, 120, 120 } << QList<int> { -280, -280, -280, -280 };
    QTest::newRow("pitch far beyond 16 bits")
        << 1000000 << QList<int> { 120, 120, 120, 120 } << QList<int> { -280, -280, -280, -280 };
}

void tst_Layout::fullHeightRows()
{
    QFETCH(int, frameHeight);
    QFETCH(QList<int>, labels);
    QFETCH(QList<int>, bars);
    const double height = outerHeightForFrame(frameHeight);
    BoardGeometry g = shownWithChart(12000, height);
    const int chartHeight = g.MSChart1.Height;
    layout::LayoutBoard(g, 12000, height, true);
    QCOMPARE(g.frBase1.Height, frameHeight);
    QCOMPARE(labelTops(g), labels);
    QCOMPARE(barTops(g), bars);
    QCOMPARE(barHeights(g), QList<int>(4, 800));
    QCOMPARE(g.MSChart1.Height, chartHeight);
}

void tst_Layout::smallOrOddWindow_data()
{
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    QTest::addColumn<bool>("fullHeight");
    QTest::newRow("200 x 200, chart") << 200.0 << 200.0 << false;
    QTest::newRow("200 x 200, full height") << 200.0 << 200.0 << true;
    QTest::newRow("minimised to nothing, chart") << 0.0 << 0.0 << false;
    QTest::newRow("minimised to nothing, full height") << 0.0 << 0.0 << true;
    QTest::newRow("negative size") << -5000.0 << -5000.0 << true;
    QTest::newRow("narrow but tall") << 300.0 << 20000.0 << true;
    QTest::newRow("wide but flat") << 20000.0 << 300.0 << false;
    QTest::newRow("not a number") << std::nan("") << std::nan("") << true;
    QTest::newRow("infinite") << std::numeric_limits<double>::infinity()
                              << std::numeric_limits<double>::infinity() << false;
    QTest::newRow("beyond int range") << 1e12 << -1e12 << true;
}

// The window passes through such sizes while minimised or dragged tiny; nothing may end up
// with a negative size, and the next ordinary size must lay out as if nothing had happened.
void tst_Layout::smallOrOddWindow()
{
    QFETCH(double, width);
    QFETCH(double, height);
    QFETCH(bool, fullHeight);
    const BoardGeometry normal = [&] {
        BoardGeometry g = shownWithChart(11000, 9000);
        layout::LayoutBoard(g, 11000, 9000, fullHeight);
        return g;
    }();
    BoardGeometry g = normal;
    layout::LayoutBoard(g, width, height, fullHeight);
    QVERIFY(noNegativeSize(g));
    QCOMPARE(g.frBase0.Width, 2385);
    QCOMPARE(g.pc.Width, 2370);
    layout::LayoutBoard(g, 11000, 9000, fullHeight);
    QCOMPARE(g, normal);
}

void tst_Layout::refusedFrameHeightStillLaysRows()
{
    BoardGeometry g = shownWithChart(11000, 9000);
    QCOMPARE(g.frBase1.Height, 1845);
    layout::LayoutBoard(g, 200, 200, true);
    QCOMPARE(g.frBase1.Height, 1845);
    QCOMPARE(g.frBase1.Width, 11000 - 120 - 2385);
    // 1845 / 4 - 800 = -338.75, so the pitch is -339.
    QCOMPARE(labelTops(g), (QList<int> { -219, -558, -897, -1236 }));
    QCOMPARE(barTops(g), (QList<int> { -619, -958, -1297, -1636 }));
    QCOMPARE(g.frBase0.Left, 200 - 100 - 2385);
    QCOMPARE(g.PctLogo.Top, 200 - 420 - 3480);
}

void tst_Layout::hugeWindow()
{
    BoardGeometry g = shownWithChart(1000000, 1000000);
    QCOMPARE(g.frBase1.Width, 1000000 - 120 - 2385);
    QCOMPARE(g.MSChart1.Height, 1000000 - 420 - 2415);
    QCOMPARE(g.lblHI[4].Left, 1000000 - 120 - 2385 - 1200 - 120);
    QCOMPARE(labelTops(g), (QList<int> { 450, 780, 1110, 1440 }));
    layout::LayoutBoard(g, 1000000, 1000000, true);
    QCOMPARE(g.frBase1.Height, 1000000 - 420 - 525);
    QCOMPARE(labelTops(g), (QList<int> { 120, 120, 120, 120 }));
    QCOMPARE(barTops(g), (QList<int> { -280, -280, -280, -280 }));
}

void tst_Layout::twipsToPixels_data()
{
    QTest::addColumn<double>("twips");
    QTest::addColumn<double>("dpi");
    QTest::addColumn<int>("pixels");
    QTest::newRow("an inch at 96 dpi") << 1440.0 << 96.0 << 96;
    QTest::newRow("one pixel at 96 dpi") << 15.0 << 96.0 << 1;
    QTest::newRow("half a pixel rounds up") << 7.5 << 96.0 << 1;
    QTest::newRow("just under half a pixel") << 7.4 << 96.0 << 0;
    QTest::newRow("negative half rounds away from zero") << -7.5 << 96.0 << -1;
    QTest::newRow("one and a half pixels") << 22.5 << 96.0 << 2;
    QTest::newRow("design width at 96 dpi") << 9975.0 << 96.0 << 665;
    QTest::newRow("design width at 120 dpi") << 9975.0 << 120.0 << 831;
    QTest::newRow("speed display offset at 144 dpi") << -30.0 << 144.0 << -3;
    QTest::newRow("zero dpi") << 1440.0 << 0.0 << 0;
    QTest::newRow("negative dpi") << 1440.0 << -96.0 << 0;
    QTest::newRow("dpi not a number") << 1440.0 << std::nan("") << 0;
    QTest::newRow("twips not a number") << std::nan("") << 96.0 << 0;
    QTest::newRow("beyond int, positive") << 1e20 << 96.0 << std::numeric_limits<int>::max();
    QTest::newRow("beyond int, negative") << -1e20 << 96.0 << std::numeric_limits<int>::min();
}

void tst_Layout::twipsToPixels()
{
    QFETCH(double, twips);
    QFETCH(double, dpi);
    QFETCH(int, pixels);
    QCOMPARE(twips::TwipsToPixels(twips, dpi), pixels);
}

void tst_Layout::pixelsToTwips_data()
{
    QTest::addColumn<int>("pixels");
    QTest::addColumn<double>("dpi");
    QTest::addColumn<double>("twips");
    QTest::newRow("one pixel at 96 dpi") << 1 << 96.0 << 15.0;
    QTest::newRow("design width at 96 dpi") << 665 << 96.0 << 9975.0;
    QTest::newRow("three pixels at 144 dpi") << 3 << 144.0 << 30.0;
    QTest::newRow("one pixel at 72 dpi") << 1 << 72.0 << 20.0;
    QTest::newRow("negative pixels") << -2 << 96.0 << -30.0;
    QTest::newRow("zero dpi") << 10 << 0.0 << 0.0;
    QTest::newRow("infinite dpi") << 10 << std::numeric_limits<double>::infinity() << 0.0;
}

void tst_Layout::pixelsToTwips()
{
    QFETCH(int, pixels);
    QFETCH(double, dpi);
    QFETCH(double, twips);
    QCOMPARE(twips::PixelsToTwips(pixels, dpi), twips);
}

void tst_Layout::pixelsSurviveRoundTrip_data()
{
    QTest::addColumn<double>("dpi");
    QTest::newRow("96 dpi") << 96.0;
    QTest::newRow("120 dpi") << 120.0;
    QTest::newRow("144 dpi") << 144.0;
    QTest::newRow("72 dpi") << 72.0;
    QTest::newRow("odd 110.5 dpi") << 110.5;
    QTest::newRow("high 288 dpi") << 288.0;
}

// A window size read in pixels, turned into twips for the layout and back, must not creep.
void tst_Layout::pixelsSurviveRoundTrip()
{
    QFETCH(double, dpi);
    for (int px = -500; px <= 5000; ++px) {
        const int back = twips::TwipsToPixels(twips::PixelsToTwips(px, dpi), dpi);
        if (back != px) {
            QFAIL(qPrintable(QStringLiteral("%1 px came back as %2").arg(px).arg(back)));
        }
    }
}

QTEST_GUILESS_MAIN(tst_Layout)
#include "tst_layout.moc"
