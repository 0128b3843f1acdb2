// SPDX-License-Identifier: MIT
#include "display/scoreboard.h"

#include "settings/settings_store.h"
#include "shared/decimal_text.h"

#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace scoreboard
{

namespace
{

    using rotavex::kFirstPlayer;
    using rotavex::kLastPlayer;

    using namespace palette;

    // A font's line is about 1.17 times its pixel size; this leaves room above and below.
    constexpr double kTextFill = 0.78;
    // An empty seat shows a dash, not a 0 it never played.
    constexpr QChar kEmptySeat(0x2014);

    int scaled(double fraction, int length)
    {
        return static_cast<int>(std::lround(fraction * length));
    }

    QRect box(double left, double top, double right, double bottom)
    {
        const int l = static_cast<int>(std::lround(left));
        const int t = static_cast<int>(std::lround(top));
        return { l, t, std::max(1, static_cast<int>(std::lround(right)) - l),
            std::max(1, static_cast<int>(std::lround(bottom)) - t) };
    }

    int fill(const QRect &area) { return std::max(1, scaled(kTextFill, area.height())); }

    TextItem text(const QString &id, const QRect &area, const QString &content, quint32 colour,
        quint32 background, Qt::Alignment alignment)
    {
        return FittedText(id, area, content, colour, background, alignment);
    }

    QString modeTitle(PlayMode mode)
    {
        switch (mode) {
        case PlayMode::Speed:
            return QStringLiteral("Speed");
        case PlayMode::Strength:
            return QStringLiteral("Strength");
        case PlayMode::Unset:
            break;
        }
        return QStringLiteral("Rotavex Scoreboard");
    }

    // A name on one line: line breaks, tabs and other control characters become blanks.
    QString oneLine(const QString &name)
    {
        QString line = name;
        for (QChar &c : line) {
            if (c.isSpace() || c.category() == QChar::Other_Control) {
                c = QLatin1Char(' ');
            }
        }
        return line;
    }

    QString indexed(const char *name, int index)
    {
        return QLatin1String(name) + QString::number(index);
    }

    // The header: mode on the left, best rpm of all on the right and, in Strength, the
    // countdown large in the middle.
    void addHeader(Scene &scene, const evening::ScoreboardState &shown, int width, int headerHeight,
        int margin)
    {
        const bool countdown = shown.mode == PlayMode::Strength || shown.countIn > 0;
        const double top = margin;
        const double bottom = headerHeight;
        const double sideBottom = countdown ? top + (bottom - top) * 0.5 : bottom;
        const double sideRight = countdown ? 0.34 * width : 0.55 * width;
        scene.texts.push_back(text(QStringLiteral("mode"), box(margin, top, sideRight, sideBottom),
            modeTitle(shown.mode), kSubText, kBackground, Qt::AlignLeft | Qt::AlignVCenter));
        TextItem top_ = text(QStringLiteral("top"),
            box(countdown ? 0.66 * width : 0.56 * width, top, width - margin, sideBottom),
            QStringLiteral("Top %1 rpm").arg(shown.topRpm), kText, kBackground,
            Qt::AlignRight | Qt::AlignVCenter);
        top_.bold = true;
        scene.texts.push_back(top_);
        if (countdown) {
            TextItem seconds =
                text(QStringLiteral("countdown"), box(0.35 * width, top, 0.65 * width, bottom),
                    shown.countIn > 0  ? QString::number(shown.countIn)
                        : shown.result ? QStringLiteral("Result")
                                       : QString::number(shown.countdownSeconds),
                    kText, kBackground, Qt::AlignCenter);
            seconds.bold = true;
            if (shown.result && shown.countIn == 0) {
                seconds.pixelSize = std::max(1, scaled(0.55, seconds.area.height()));
            }
            scene.texts.push_back(seconds);
        }
    }

    void addPlayerRows(Scene &scene, const evening::ScoreboardState &shown, int width, int top,
        int bottom, int margin)
    {
        const double rowHeight = static_cast<double>(bottom - top) / rotavex::kPlayerCount;
        const double markSide = 0.30 * rowHeight;
        for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
            const evening::PlayerState &player = shown.players[p];
            const double y = top + (p - kFirstPlayer) * rowHeight;
            const quint32 panel = player.leader ? kLeaderPanel : kBackground;
            if (player.leader) {
                scene.panels.push_back(
                    { box(margin / 2.0, y, width - margin / 2.0, y + 0.84 * rowHeight),
                        kLeaderPanel });
                scene.leaderMarks.push_back(box(margin, y + 0.09 * rowHeight, margin + markSide,
                    y + 0.09 * rowHeight + markSide));
            }
            const double nameLeft = margin + markSide + margin * 0.5;
            TextItem name = text(indexed("name", p),
                box(nameLeft, y, 0.46 * width, y + 0.46 * rowHeight), oneLine(player.name),
                player.leader ? kGold : kText, panel, Qt::AlignLeft | Qt::AlignVCenter);
            name.bold = true;
            name.elide = true;
            scene.texts.push_back(name);

            scene.texts.push_back(text(indexed("record", p),
                box(nameLeft, y + 0.48 * rowHeight, 0.46 * width, y + 0.80 * rowHeight),
                player.seated ? QStringLiteral("Best %1 rpm").arg(player.bestRpm) : QString(),
                kSubText, panel, Qt::AlignLeft | Qt::AlignVCenter));

            // Revolutions are grouped as on the board; speeds are not.
            TextItem number = text(indexed("live", p),
                box(0.47 * width, y, 0.85 * width, y + 0.84 * rowHeight),
                !player.seated                                  ? QString(kEmptySeat)
                    : player.unit == evening::Unit::Revolutions ? QLocale().toString(player.live)
                                                                : QString::number(player.live),
                kText, panel, Qt::AlignRight | Qt::AlignVCenter);
            number.pixelSize = std::max(1, scaled(0.82, number.area.height()));
            number.bold = true;
            number.live = true;
            scene.texts.push_back(number);
            scene.texts.push_back(text(indexed("unit", p),
                box(0.86 * width, y + 0.36 * rowHeight, width - margin, y + 0.72 * rowHeight),
                player.unit == evening::Unit::Revolutions ? QStringLiteral("rev")
                                                          : QStringLiteral("rpm"),
                kSubText, panel, Qt::AlignLeft | Qt::AlignVCenter));

            BarItem bar;
            bar.area = box(margin, y + 0.86 * rowHeight, width - margin, y + 0.97 * rowHeight);
            bar.fraction = player.bar;
            bar.colour = player.colour;
            bar.track = kTrack;
            scene.bars.push_back(bar);
        }
    }

    void addRanking(
        Scene &scene, const evening::Ranking &ranking, int width, int top, int bottom, int margin)
    {
        const double titleHeight = 0.16 * (bottom - top);
        const double rowHeight = (bottom - top - titleHeight) / rotavex::kPlayerCount;
        // Columns: rank, name, revolutions, mean rpm, best rpm.
        const std::array<double, 6> edges { static_cast<double>(margin), 0.09 * width, 0.45 * width,
            0.64 * width, 0.82 * width, static_cast<double>(width - margin) };
        const std::array<QString, 5> titles { QStringLiteral("Rank"), QStringLiteral("Player"),
            QStringLiteral("rev"), QStringLiteral("mean rpm"), QStringLiteral("best rpm") };
        for (std::size_t c = 0; c < titles.size(); ++c) {
            const Qt::Alignment alignment =
                c < 2 ? Qt::AlignLeft | Qt::AlignBottom : Qt::AlignRight | Qt::AlignBottom;
            TextItem title = text(indexed("rankTitle", static_cast<int>(c)),
                box(edges[c], top, edges[c + 1] - margin * 0.5, top + titleHeight * 0.9), titles[c],
                kSubText, kBackground, alignment);
            // One size for all titles, small enough for the longest in its column.
            title.pixelSize = std::max(1, scaled(0.45, title.area.height()));
            scene.texts.push_back(title);
        }
        for (std::size_t i = 0; i < ranking.size(); ++i) {
            const evening::Place &entry = ranking[i];
            const double y = top + titleHeight + static_cast<double>(i) * rowHeight;
            const quint32 panel = entry.rank == 1 ? kLeaderPanel : kRankPanel;
            scene.panels.push_back({ box(margin / 2.0, y + 0.04 * rowHeight, width - margin / 2.0,
                                         y + 0.96 * rowHeight),
                panel });
            const quint32 colour = entry.rank == 1 ? kGold : kText;
            const int place = static_cast<int>(i) + 1;
            const auto cell = [&](std::size_t c) {
                return box(edges[c], y + 0.1 * rowHeight, edges[c + 1] - margin * 0.5,
                    y + 0.9 * rowHeight);
            };
            TextItem rank = text(indexed("rank", place), cell(0), QString::number(entry.rank),
                colour, panel, Qt::AlignLeft | Qt::AlignVCenter);
            rank.bold = true;
            scene.texts.push_back(rank);
            TextItem name = text(indexed("rankName", place), cell(1), oneLine(entry.name), colour,
                panel, Qt::AlignLeft | Qt::AlignVCenter);
            name.bold = true;
            name.elide = true;
            scene.texts.push_back(name);
            TextItem revolutions =
                text(indexed("rankRev", place), cell(2), QLocale().toString(entry.revolutions),
                    colour, panel, Qt::AlignRight | Qt::AlignVCenter);
            revolutions.bold = true;
            scene.texts.push_back(revolutions);
            for (const std::size_t c : { 3u, 4u }) {
                TextItem rpm = text(indexed(c == 3 ? "rankMean" : "rankBest", place), cell(c),
                    QString::number(c == 3 ? entry.meanRpm : entry.bestRpm), kText, panel,
                    Qt::AlignRight | Qt::AlignVCenter);
                // Smaller than the revolutions, which decide the rank.
                rpm.pixelSize = std::max(1, scaled(0.6, rpm.area.height()));
                scene.texts.push_back(rpm);
            }
        }
    }

    // WCAG's linearisation of one sRGB channel.
    double linear(quint32 channel)
    {
        const double c = channel / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    }

} // namespace

TextItem FittedText(const QString &id, const QRect &area, const QString &content, quint32 colour,
    quint32 background, Qt::Alignment alignment)
{
    TextItem item;
    item.id = id;
    item.area = area;
    item.text = content;
    item.pixelSize = fill(area);
    item.alignment = alignment;
    item.colour = colour;
    item.background = background;
    return item;
}

double RelativeLuminance(quint32 bgr)
{
    return 0.2126 * linear(bgr & 0xFFu) + 0.7152 * linear((bgr >> 8) & 0xFFu)
        + 0.0722 * linear((bgr >> 16) & 0xFFu);
}

double ContrastRatio(quint32 first, quint32 second)
{
    const double a = RelativeLuminance(first);
    const double b = RelativeLuminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

Scene BuildScene(const evening::ScoreboardState &shown, QSize size)
{
    Scene scene;
    scene.background = kBackground;
    scene.markColour = kGold;
    const int width = std::max(1, size.width());
    const int height = std::max(1, size.height());
    const int margin = std::max(2, height / 60);
    // The countdown gets a taller header: it is the one number the whole room watches.
    const double headerShare = shown.mode == PlayMode::Strength ? 0.22 : 0.13;
    const int headerHeight = scaled(headerShare, height);
    addHeader(scene, shown, width, headerHeight, margin);
    const int top = headerHeight + margin;
    const int bottom = height - margin;
    if (shown.result) {
        addRanking(scene, *shown.result, width, top, bottom, margin);
    } else {
        addPlayerRows(scene, shown, width, top, bottom, margin);
    }
    return scene;
}

int FitPixelSize(int pixelSize, int textWidth, int areaWidth)
{
    if (textWidth <= areaWidth || textWidth <= 0) {
        return std::max(1, pixelSize);
    }
    const qint64 fitted = static_cast<qint64>(pixelSize) * std::max(0, areaWidth) / textWidth;
    return std::max(1, static_cast<int>(fitted));
}

int ChooseScreen(int stored, int screenCount, int mainWindowScreen)
{
    if (stored >= 0 && stored < screenCount) {
        return stored;
    }
    if (screenCount > 1) {
        return mainWindowScreen == 0 ? 1 : 0;
    }
    return 0;
}

bool OpenFullScreen(bool stored, int screenCount) { return stored && screenCount > 1; }

Placement ReadPlacement()
{
    Placement placement;
    placement.screen = int(settings_store::Read(settings_store::display::kScreen));
    placement.fullScreen = settings_store::Read(settings_store::display::kFullScreen);
    return placement;
}

void WritePlacement(const Placement &placement)
{
    settings_store::Write(settings_store::display::kScreen, placement.screen);
    settings_store::Write(settings_store::display::kFullScreen, placement.fullScreen);
}

} // namespace scoreboard
