// SPDX-License-Identifier: MIT
#include "competition/competition_scene.h"

#include "competition/heat_text.h"

#include <algorithm>
#include <cmath>

namespace competition
{

namespace
{

    // The scoreboard's palette (0x00BBGGRR), so both scenes look like one display.
    constexpr quint32 kBackground = 0x00201410;
    constexpr quint32 kLeaderPanel = 0x0058342C;
    constexpr quint32 kRowPanel = 0x0038241E;
    constexpr quint32 kText = 0x00FFFFFF;
    constexpr quint32 kSubText = 0x00DACEC8;
    constexpr quint32 kGold = 0x0000D0FF;
    constexpr double kTextFill = 0.78;

    int scaled(double fraction, int length) { return int(std::lround(fraction * length)); }

    scoreboard::TextItem text(const QString &id, const QRect &area, const QString &value,
        quint32 colour, quint32 background, Qt::Alignment alignment, bool bold = false,
        bool elide = false)
    {
        scoreboard::TextItem item;
        item.id = id;
        item.area = area;
        item.text = value;
        item.pixelSize = std::max(1, scaled(kTextFill, area.height()));
        item.bold = bold;
        item.alignment = alignment;
        item.colour = colour;
        item.background = background;
        item.elide = elide;
        return item;
    }

} // namespace

BoardShown BoardShownFor(const Competition &competition, std::optional<int> called)
{
    BoardShown shown;
    shown.competition = competition.settings.name;
    shown.scoring = competition.settings.scoring;
    shown.standings = Standings(competition);
    const std::optional<int> heat = called ? called : NextHeat(competition);
    if (!heat) {
        shown.title = QStringLiteral("Final standings");
        return shown;
    }
    shown.title = HeatTitle(competition, *heat);
    shown.seats = SeatNames(competition, competition.heats[*heat]);
    shown.onDeck = OnDeckText(competition, *heat);
    return shown;
}

scoreboard::Scene BuildCompetitionScene(const BoardShown &shown, QSize size)
{
    scoreboard::Scene scene;
    scene.background = kBackground;
    const int width = size.width();
    const int height = size.height();
    if (width < 8 || height < 8) {
        return scene;
    }
    const int margin = std::max(2, std::min(width, height) / 40);
    const int inner = width - 2 * margin;
    int top = margin;

    // The heat: its title large, the competition's name beside it.
    const int titleHeight = scaled(0.16, height);
    const int titleWidth = scaled(0.7, inner);
    scene.texts.push_back(
        text(QStringLiteral("heatTitle"), QRect(margin, top, titleWidth, titleHeight), shown.title,
            kGold, kBackground, Qt::AlignLeft | Qt::AlignVCenter, true));
    scene.texts.push_back(text(QStringLiteral("competition"),
        QRect(margin + titleWidth, top, inner - titleWidth, scaled(0.07, height)),
        shown.competition, kSubText, kBackground, Qt::AlignRight | Qt::AlignVCenter, false, true));
    top += titleHeight + margin / 2;

    // The called heat's players by device, two devices a line, each on a panel of its own.
    if (shown.seats.size() == kDevices) {
        const int seatHeight = scaled(0.075, height);
        const int gap = margin / 2;
        const int seatWidth = (inner - gap) / 2;
        for (int d = 0; d < kDevices; ++d) {
            const QRect panel(margin + (d % 2) * (seatWidth + gap),
                top + (d / 2) * (seatHeight + gap), seatWidth, seatHeight);
            scene.panels.push_back({ panel, kRowPanel });
            const QString name = shown.seats[d];
            const QRect numberArea(panel.left() + gap, panel.top(), seatHeight, seatHeight);
            scene.texts.push_back(text(QStringLiteral("seatDevice%1").arg(d + 1), numberArea,
                QString::number(d + 1), kSubText, kRowPanel, Qt::AlignLeft | Qt::AlignVCenter));
            const QRect nameArea(numberArea.right() + 1, panel.top(),
                panel.right() - numberArea.right() - gap, seatHeight);
            scene.texts.push_back(text(QStringLiteral("seatName%1").arg(d + 1), nameArea,
                name.isEmpty() ? QStringLiteral("–") : name, name.isEmpty() ? kSubText : kText,
                kRowPanel, Qt::AlignLeft | Qt::AlignVCenter, true, true));
        }
        top += 2 * seatHeight + gap + margin / 2;
    }

    if (!shown.onDeck.isEmpty()) {
        const int deckHeight = scaled(0.07, height);
        scene.texts.push_back(text(QStringLiteral("onDeck"), QRect(margin, top, inner, deckHeight),
            shown.onDeck, kSubText, kBackground, Qt::AlignLeft | Qt::AlignVCenter, false, true));
        top += deckHeight + margin / 2;
    }

    // The standings: rows of a sixteenth of the height at least, a ninth at most.
    const int bottom = height - margin;
    const int headHeight = scaled(0.05, height);
    const int minRow = std::max(1, height / 16);
    const int available = bottom - top - headHeight;
    if (available < minRow) {
        return scene;
    }
    const int lines = int(shown.standings.size());
    const int fitting = available / minRow;
    const bool cut = lines > fitting;
    const int shownRows = cut ? std::max(0, fitting - 1) : lines;
    const int rowHeight =
        std::clamp(available / std::max(1, shownRows + (cut ? 1 : 0)), minRow, height / 9);
    struct Column {
        const char *id;
        double share;
        const char *title;
        Qt::Alignment alignment;
    };
    const Column columns[] = {
        { "rank", 0.09, "", Qt::AlignRight | Qt::AlignVCenter },
        { "name", 0.45, "", Qt::AlignLeft | Qt::AlignVCenter },
        { "score", 0.22, shown.scoring == PlayMode::Strength ? "revolutions" : "best",
            Qt::AlignRight | Qt::AlignVCenter },
        { "rounds", 0.11, "rounds", Qt::AlignRight | Qt::AlignVCenter },
        { "note", 0.13, "", Qt::AlignRight | Qt::AlignVCenter },
    };
    const int pad = std::max(1, margin / 2);
    auto columnArea = [&](int column, int y, int h) {
        int left = margin;
        for (int c = 0; c < column; ++c) {
            left += scaled(columns[c].share, inner);
        }
        const int right =
            column == 4 ? margin + inner : left + scaled(columns[column].share, inner);
        return QRect(left + pad, y, right - left - 2 * pad, h);
    };
    for (int c = 0; c < 5; ++c) {
        if (*columns[c].title != '\0') {
            scene.texts.push_back(text(QStringLiteral("head_%1").arg(QLatin1String(columns[c].id)),
                columnArea(c, top, headHeight), QLatin1String(columns[c].title), kSubText,
                kBackground, columns[c].alignment));
        }
    }
    top += headHeight;
    for (int row = 0; row < shownRows; ++row) {
        const Standing &line = shown.standings[row];
        const bool leader = line.rank == 1;
        const quint32 panel = leader ? kLeaderPanel : (row % 2 == 0 ? kRowPanel : kBackground);
        const int y = top + row * rowHeight;
        if (panel != kBackground) {
            scene.panels.push_back({ QRect(margin, y, inner, rowHeight), panel });
        }
        const quint32 colour = leader ? kGold : kText;
        QString note;
        if (line.retired) {
            note = QStringLiteral("retired");
        } else if (line.roundsMissed > 0) {
            note = QStringLiteral("missed %1").arg(line.roundsMissed);
        }
        const QString values[] = {
            line.rank > 0 ? QString::number(line.rank) : QStringLiteral("–"),
            line.name,
            line.roundsPlayed > 0 ? ScoreText(shown.scoring, line.score) : QString(),
            QString::number(line.roundsPlayed),
            note,
        };
        for (int c = 0; c < 5; ++c) {
            if (values[c].isEmpty()) {
                continue;
            }
            const bool small = c == 4;
            QRect area = columnArea(c, y, rowHeight);
            if (small) {
                area = QRect(area.left(), y + rowHeight / 4, area.width(), rowHeight / 2);
            }
            scene.texts.push_back(
                text(QStringLiteral("%1%2").arg(QLatin1String(columns[c].id)).arg(row + 1), area,
                    values[c], small ? kSubText : colour, panel, columns[c].alignment,
                    c == 1 && leader, c == 1));
        }
    }
    if (cut) {
        scene.texts.push_back(text(QStringLiteral("more"),
            QRect(margin + pad, top + shownRows * rowHeight, inner - 2 * pad, rowHeight),
            QStringLiteral("… and %1 more").arg(lines - shownRows), kSubText, kBackground,
            Qt::AlignLeft | Qt::AlignVCenter));
    }
    return scene;
}

} // namespace competition
