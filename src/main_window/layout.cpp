// SPDX-License-Identifier: MIT
#include "main_window/layout.h"

#include <QLatin1StringView>
#include <QList>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace layout
{

namespace
{

    using rotavex::PlayerSlot;

    constexpr std::array kInventory {
        DesignControl { "frBase0", "", { 7485, 525, 2385, 1845 } },
        DesignControl { "pctBase", "frBase0", { 75, 1125, 2220, 495 } },
        DesignControl { "CurTimer", "pctBase", { 1590, 15, 1245, 480 } },
        DesignControl { "cmdStr", "pctBase", { 30, 45, 1500, 405 } },
        DesignControl { "OptMode0", "frBase0", { 705, 300, 1545, 390 } },
        DesignControl { "OptMode1", "frBase0", { 705, 780, 1545, 390 } },
        DesignControl { "frBase1", "", { 30, 525, 7425, 1845 } },
        DesignControl { "lblName1", "frBase1", { 90, 360, 1515, 255 } },
        DesignControl { "lblName2", "frBase1", { 90, 735, 1515, 255 } },
        DesignControl { "lblName3", "frBase1", { 90, 1110, 1515, 255 } },
        DesignControl { "lblName4", "frBase1", { 90, 1485, 1515, 255 } },
        DesignControl { "pbar1", "frBase1", { 1230, 345, 3465, 270 } },
        DesignControl { "pbar2", "frBase1", { 1215, 705, 3465, 270 } },
        DesignControl { "pbar3", "frBase1", { 1215, 1080, 3465, 270 } },
        DesignControl { "pbar4", "frBase1", { 1215, 1440, 3465, 270 } },
        DesignControl { "lblRPM1", "frBase1", { 4770, 390, 1200, 255 } },
        DesignControl { "lblRPM2", "frBase1", { 4770, 765, 1200, 255 } },
        DesignControl { "lblRPM3", "frBase1", { 4770, 1140, 1200, 255 } },
        DesignControl { "lblRPM4", "frBase1", { 4770, 1515, 1200, 255 } },
        DesignControl { "lblHI1", "frBase1", { 6105, 390, 1200, 255 } },
        DesignControl { "lblHI2", "frBase1", { 6105, 765, 1200, 255 } },
        DesignControl { "lblHI3", "frBase1", { 6105, 1125, 1200, 255 } },
        DesignControl { "lblHI4", "frBase1", { 6105, 1500, 1200, 255 } },
        DesignControl { "pc", "", { 7590, 2370, 2370, 870 } },
        DesignControl { "CurSpeed", "pc", { 0, -30, 3195, 870 } },
        DesignControl { "MSChart1", "", { 60, 2415, 6105, 5700 } },
        DesignControl { "PctLogo", "", { 6330, 4650, 3600, 3480 } },
        DesignControl { "cmdSetup", "", { 75, 60, 1230, 405 } },
        DesignControl { "cmdQuit", "", { 1365, 60, 1230, 405 } },
        DesignControl { "CmdStart", "", { 3360, 60, 1200, 405 } },
        DesignControl { "CmdClear", "", { 4620, 60, 1005, 405 } },
        DesignControl { "CmdVisual", "", { 5715, 60, 480, 405 } },
        DesignControl { "CmdScore", "", { 7485, 60, 1440, 405 } },
        DesignControl { "CmdDisplay", "", { 6255, 60, 480, 405 } },
        DesignControl { "CmdCompetition", "", { 6795, 60, 480, 405 } },
    };

    constexpr float kBottomMargin = 420.0f;
    constexpr float kRightMarginDisplays = 40.0f; // logo and speed display
    constexpr float kRightMarginModePanel = 100.0f;
    constexpr float kBoardAllowance = 120.0f;
    constexpr float kRecordGap = 120.0f;
    constexpr float kLabelGap = 40.0f;
    constexpr float kBarGap = 120.0f;
    constexpr qint16 kChartPitch = 330;
    constexpr qint16 kRowOffset = 120;
    constexpr qint16 kBarRise = 400;
    constexpr int kChartBarHeight = 280;
    constexpr int kFullBarHeight = 800;
    constexpr float kFullPitchAllowance = 800.0f;

    // Nearest whole number, halves to the even neighbour, whatever the floating-point
    // environment's rounding mode happens to be.
    double roundHalfEven(double value)
    {
        const double floor = std::floor(value);
        const double fraction = value - floor;
        if (fraction > 0.5 || (fraction == 0.5 && std::fmod(floor, 2.0) != 0.0)) {
            return floor + 1.0;
        }
        return floor;
    }

    // The whole-twips value a control would take, or nothing when no control could hold it.
    std::optional<int> wholeTwips(float value)
    {
        if (!std::isfinite(value)) {
            return std::nullopt;
        }
        const double rounded = roundHalfEven(value);
        if (rounded < std::numeric_limits<int>::min()
            || rounded > std::numeric_limits<int>::max()) {
            return std::nullopt;
        }
        return static_cast<int>(rounded);
    }

    void assignPosition(int &target, float value)
    {
        if (const std::optional<int> twips = wholeTwips(value)) {
            target = *twips;
        }
    }

    // Widgets refuse negative sizes, e.g. while the window is tiny or minimised.
    void assignSize(int &target, float value)
    {
        if (const std::optional<int> twips = wholeTwips(value); twips && *twips >= 0) {
            target = *twips;
        }
    }

    std::optional<qint16> fit16(int value)
    {
        if (value < std::numeric_limits<qint16>::min()
            || value > std::numeric_limits<qint16>::max()) {
            return std::nullopt;
        }
        return static_cast<qint16>(value);
    }

    // pitch × n + 120 − rise, each operation in 16 bits: an intermediate overflow fails the
    // whole expression even if the end result would fit.
    std::optional<qint16> rowTop(qint16 pitch, PlayerSlot n, qint16 rise)
    {
        std::optional<qint16> value = fit16(int(pitch) * int(n));
        if (value) {
            value = fit16(int(*value) + int(kRowOffset));
        }
        if (value && rise != 0) {
            value = fit16(int(*value) - int(rise));
        }
        return value;
    }

    void assignRow(int &target, std::optional<qint16> value)
    {
        if (value) {
            target = *value;
        }
    }

    // frame height / 4 − 800 in whole twips; 0 when the result does not fit 16 bits, so every
    // row stacks at the top instead of the layout failing.
    qint16 fullHeightPitch(int frameHeight)
    {
        const float exact = static_cast<float>(frameHeight) / 4.0f - kFullPitchAllowance;
        const double rounded = roundHalfEven(exact);
        if (rounded < std::numeric_limits<qint16>::min()
            || rounded > std::numeric_limits<qint16>::max()) {
            return 0;
        }
        return static_cast<qint16>(rounded);
    }

    float f(int twips) { return static_cast<float>(twips); }

} // namespace

std::span<const DesignControl> DesignInventory() { return kInventory; }

std::optional<TwipsRect> DesignRect(QAnyStringView objectName)
{
    return FindDesignRect(kInventory, objectName);
}

BoardGeometry DesignGeometry()
{
    BoardGeometry g;
    g.frBase0 = designRect(kInventory, "frBase0");
    g.frBase1 = designRect(kInventory, "frBase1");
    g.pc = designRect(kInventory, "pc");
    g.PctLogo = designRect(kInventory, "PctLogo");
    g.MSChart1 = designRect(kInventory, "MSChart1");
    for (PlayerSlot n = rotavex::kFirstPlayer; n <= rotavex::kLastPlayer; ++n) {
        g.lblName[n] = designRect(kInventory, QStringLiteral("lblName%1").arg(n));
        g.pbar[n] = designRect(kInventory, QStringLiteral("pbar%1").arg(n));
        g.lblRPM[n] = designRect(kInventory, QStringLiteral("lblRPM%1").arg(n));
        g.lblHI[n] = designRect(kInventory, QStringLiteral("lblHI%1").arg(n));
    }
    return g;
}

int NameRoomTwips(const BoardGeometry &g, PlayerSlot player)
{
    const TwipsRect &name = g.lblName[player];
    const TwipsRect &bar = g.pbar[player];
    const bool barReachesIn = bar.Width > 0 && bar.Height > 0 && bar.Left < name.Left + name.Width
        && bar.Left + bar.Width > name.Left && bar.Top < name.Top + name.Height
        && bar.Top + bar.Height > name.Top;
    if (!barReachesIn) {
        return name.Width;
    }
    return std::clamp(bar.Left - name.Left, 0, name.Width);
}

void LayoutBoard(BoardGeometry &g, double outerWidth, double outerHeight, bool fullHeight)
{
    const float w = static_cast<float>(outerWidth);
    const float h = static_cast<float>(outerHeight);

    assignPosition(g.PctLogo.Top, h - kBottomMargin - f(g.PctLogo.Height));
    assignSize(g.frBase1.Width, w - kBoardAllowance - f(g.frBase0.Width));
    assignPosition(g.frBase0.Left, w - kRightMarginModePanel - f(g.frBase0.Width));
    assignPosition(g.pc.Left, w - kRightMarginDisplays - f(g.pc.Width));
    assignPosition(g.PctLogo.Left, w - kRightMarginDisplays - f(g.PctLogo.Width));
    assignSize(g.MSChart1.Width, w - kRightMarginDisplays - f(g.PctLogo.Width));

    // Each row reads back what the widgets hold, so a refused width leaves the row lined up
    // with the frame the user actually sees.
    const float frameWidth = f(g.frBase1.Width);
    for (PlayerSlot n = rotavex::kFirstPlayer; n <= rotavex::kLastPlayer; ++n) {
        assignPosition(g.lblHI[n].Left, frameWidth - f(g.lblHI[n].Width) - kRecordGap);
        assignPosition(g.lblRPM[n].Left,
            frameWidth - f(g.lblRPM[n].Width) - kLabelGap - f(g.lblHI[n].Width) - kRecordGap);
        assignSize(g.pbar[n].Width, f(g.lblRPM[n].Left) - f(g.pbar[n].Left) - kBarGap);
    }

    if (!fullHeight) {
        assignSize(g.frBase1.Height, f(g.frBase0.Height));
        assignSize(g.MSChart1.Height, h - kBottomMargin - f(g.MSChart1.Top));
        for (PlayerSlot n = rotavex::kFirstPlayer; n <= rotavex::kLastPlayer; ++n) {
            const std::optional<qint16> top = rowTop(kChartPitch, n, 0);
            assignRow(g.lblName[n].Top, top);
            assignRow(g.lblHI[n].Top, top);
            assignRow(g.lblRPM[n].Top, top);
            assignRow(g.pbar[n].Top, top);
            g.pbar[n].Height = kChartBarHeight;
        }
        return;
    }

    assignSize(g.frBase1.Height, h - kBottomMargin - f(g.frBase1.Top));
    const qint16 pitch = fullHeightPitch(g.frBase1.Height);
    for (PlayerSlot n = rotavex::kFirstPlayer; n <= rotavex::kLastPlayer; ++n) {
        const std::optional<qint16> top = rowTop(pitch, n, 0);
        assignRow(g.lblName[n].Top, top);
        assignRow(g.lblHI[n].Top, top);
        assignRow(g.lblRPM[n].Top, top);
        assignRow(g.pbar[n].Top, rowTop(pitch, n, kBarRise));
        g.pbar[n].Height = kFullBarHeight;
    }
}

namespace
{

    struct Placed {
        QString name;
        QString container;
        TwipsRect rect;
    };

    bool overlaps(const TwipsRect &a, const TwipsRect &b)
    {
        return a.Left < b.Left + b.Width && b.Left < a.Left + a.Width && a.Top < b.Top + b.Height
            && b.Top < a.Top + a.Height;
    }

    // Every shown control where the chart layout puts it in a window of outer size w × h.
    QList<Placed> placedControls(double w, double h, const QStringList &hidden)
    {
        BoardGeometry g = DesignGeometry();
        LayoutBoard(g, w, h, false);
        const auto moved = [&g](const QString &name) -> std::optional<TwipsRect> {
            static const QStringList kMoved { "frBase0", "frBase1", "pc", "PctLogo", "MSChart1" };
            const TwipsRect *fixed[] = { &g.frBase0, &g.frBase1, &g.pc, &g.PctLogo, &g.MSChart1 };
            if (const qsizetype i = kMoved.indexOf(name); i >= 0) {
                return *fixed[i];
            }
            for (PlayerSlot n = rotavex::kFirstPlayer; n <= rotavex::kLastPlayer; ++n) {
                const QString number = QString::number(n);
                if (name == QLatin1String("lblName") + number) {
                    return g.lblName[n];
                }
                if (name == QLatin1String("pbar") + number) {
                    return g.pbar[n];
                }
                if (name == QLatin1String("lblRPM") + number) {
                    return g.lblRPM[n];
                }
                if (name == QLatin1String("lblHI") + number) {
                    return g.lblHI[n];
                }
            }
            return std::nullopt;
        };
        QList<Placed> placed;
        QStringList left = hidden;
        for (const DesignControl &c : kInventory) {
            const QString name = QLatin1String(c.objectName);
            const QString container = QLatin1String(c.container);
            if (left.contains(name) || left.contains(container)) {
                left << name; // what a hidden control holds is hidden with it
                continue;
            }
            placed.append({ name, container, moved(name).value_or(c.rect) });
        }
        return placed;
    }

    // What is wrong in a window of outer size w × h: "a|b" for two siblings that overlap,
    // "a" for a control its container cuts off.
    QStringList faults(double w, double h, double frameW, double frameH, const QStringList &hidden)
    {
        const QList<Placed> placed = placedControls(w, h, hidden);
        QStringList found;
        for (qsizetype i = 0; i < placed.size(); ++i) {
            const Placed &a = placed[i];
            TwipsRect room { 0, 0, static_cast<int>(w - frameW), static_cast<int>(h - frameH) };
            for (const Placed &c : placed) {
                if (c.name == a.container) {
                    room = { 0, 0, c.rect.Width, c.rect.Height };
                }
            }
            if (a.rect.Left < 0 || a.rect.Top < 0 || a.rect.Left + a.rect.Width > room.Width
                || a.rect.Top + a.rect.Height > room.Height) {
                found << a.name;
            }
            for (qsizetype j = i + 1; j < placed.size(); ++j) {
                if (placed[j].container == a.container && overlaps(a.rect, placed[j].rect)) {
                    found << a.name + u'|' + placed[j].name;
                }
            }
        }
        return found;
    }

} // namespace

TwipsSize MinimumOuterSize(double frameWidth, double frameHeight, const QStringList &hidden)
{
    // In a window this roomy, whatever still overlaps or is cut off is the design's own doing
    // (the chart's corner under the logo, the LED displays sized past their frames).
    constexpr int kRoomy = 4 * kDesignClientWidth;
    const QStringList inherent = faults(kRoomy, kRoomy, frameWidth, frameHeight, hidden);
    const auto fine = [&](int w, int h) {
        const QStringList found = faults(w, h, frameWidth, frameHeight, hidden);
        return std::all_of(found.begin(), found.end(),
            [&inherent](const QString &fault) { return inherent.contains(fault); });
    };
    // Each edge only moves one way as the window grows, so "fine" holds from some size up:
    // search each direction with the other one roomy, then grow both until they agree.
    const auto smallest = [](const auto &fineAt) {
        int low = 0;
        int high = kRoomy;
        while (low < high) {
            const int middle = low + (high - low) / 2;
            if (fineAt(middle)) {
                high = middle;
            } else {
                low = middle + 1;
            }
        }
        return low;
    };
    TwipsSize size { smallest([&](int w) { return fine(w, kRoomy); }),
        smallest([&](int h) { return fine(kRoomy, h); }) };
    while (!fine(size.Width, size.Height) && size.Width < kRoomy && size.Height < kRoomy) {
        size.Width += 15;
        size.Height += 15;
    }
    return size;
}

} // namespace layout
