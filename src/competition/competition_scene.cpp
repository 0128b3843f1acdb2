// SPDX-License-Identifier: MIT
#include "competition/competition_scene.h"

#include "competition/standings.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace competition
{

namespace
{

    using namespace scoreboard::palette;
    // The standings' first lines, shown on every page.
    constexpr int kLeadersOnEveryPage = 3;

    int scaled(double fraction, int length) { return int(std::lround(fraction * length)); }

    scoreboard::TextItem text(const QString &id, const QRect &area, const QString &value,
        quint32 colour, quint32 background, Qt::Alignment alignment, bool bold = false,
        bool elide = false)
    {
        scoreboard::TextItem item =
            scoreboard::FittedText(id, area, value, colour, background, alignment);
        item.bold = bold;
        item.elide = elide;
        return item;
    }

} // namespace

scoreboard::Scene BuildCompetitionScene(const evening::BetweenHeats &shown, QSize size, int page)
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
    const QString title = shown.heat
        ? QStringLiteral("Heat %1 of %2").arg(*shown.heat).arg(shown.heatCount)
        : QStringLiteral("Final standings");
    const int titleHeight = scaled(0.16, height);
    const int titleWidth = scaled(0.7, inner);
    scene.texts.push_back(
        text(QStringLiteral("heatTitle"), QRect(margin, top, titleWidth, titleHeight), title, kGold,
            kBackground, Qt::AlignLeft | Qt::AlignVCenter, true));
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
            scene.panels.push_back({ panel, kRankPanel });
            const evening::HeatSeat &seat = shown.seats[d];
            const QRect numberArea(panel.left() + gap, panel.top(), seatHeight, seatHeight);
            scene.texts.push_back(text(QStringLiteral("seatDevice%1").arg(d + 1), numberArea,
                QString::number(d + 1), kSubText, kRankPanel, Qt::AlignLeft | Qt::AlignVCenter));
            const QRect nameArea(numberArea.right() + 1, panel.top(),
                panel.right() - numberArea.right() - gap, seatHeight);
            scene.texts.push_back(text(QStringLiteral("seatName%1").arg(d + 1), nameArea,
                seat.seated ? seat.name : QStringLiteral("–"), seat.seated ? kText : kSubText,
                kRankPanel, Qt::AlignLeft | Qt::AlignVCenter, true, true));
        }
        top += 2 * seatHeight + gap + margin / 2;
    }

    if (shown.nextHeat) {
        const int deckHeight = scaled(0.07, height);
        scene.texts.push_back(text(QStringLiteral("onDeck"), QRect(margin, top, inner, deckHeight),
            QStringLiteral("Next: ") + shown.nextNames.join(QStringLiteral(", ")), kSubText,
            kBackground, Qt::AlignLeft | Qt::AlignVCenter, false, true));
        top += deckHeight + margin / 2;
    }

    // The standings: rows of a twentieth of the height at least (the text a thirtieth at
    // least, readable from the back of the room), a ninth at most; in two columns on a wide
    // window when one is not enough; in pages when two are not, the leaders on every page.
    const int bottom = height - margin;
    const int headHeight = scaled(0.05, height);
    const int minRow = std::max(1, height / 20);
    const int available = bottom - top - headHeight;
    if (available < minRow) {
        return scene;
    }
    const int lines = int(shown.standings.size());
    const int perColumn = available / minRow;
    const int columnCount = lines > perColumn && width * 2 >= height * 3 ? 2 : 1;
    const int places = perColumn * columnCount;
    // Which lines this page shows, in order: the leaders, then the page's share of the rest.
    QList<int> shownLines;
    if (lines <= places) {
        for (int i = 0; i < lines; ++i) {
            shownLines.append(i);
        }
    } else {
        const int pinned = std::min(kLeadersOnEveryPage, places - 1);
        const int perPage = places - pinned;
        scene.pages = (lines - pinned + perPage - 1) / perPage;
        const int first = pinned + (page % scene.pages) * perPage;
        for (int i = 0; i < pinned; ++i) {
            shownLines.append(i);
        }
        for (int i = first; i < std::min(lines, first + perPage); ++i) {
            shownLines.append(i);
        }
        scene.texts.push_back(text(QStringLiteral("page"),
            QRect(margin + titleWidth, margin + scaled(0.08, height), inner - titleWidth,
                scaled(0.07, height)),
            QStringLiteral("page %1 of %2").arg(page % scene.pages + 1).arg(scene.pages), kSubText,
            kBackground, Qt::AlignRight | Qt::AlignVCenter));
    }
    // Pages keep one row height; a single picture shares its lines evenly between the columns.
    const int rowsPerBlock = scene.pages > 1
        ? perColumn
        : std::max(1, int(shownLines.size() + columnCount - 1) / columnCount);
    const int rowHeight = std::clamp(available / rowsPerBlock, minRow, height / 9);
    struct Column {
        const char *id;
        double share;
        const char *title;
        Qt::Alignment alignment;
    };
    const Column columns[] = {
        { "rank", 0.11, "", Qt::AlignRight | Qt::AlignVCenter },
        { "name", 0.43, "", Qt::AlignLeft | Qt::AlignVCenter },
        { "score", 0.22, shown.gameKind == PlayMode::Strength ? "revolutions" : "rpm",
            Qt::AlignRight | Qt::AlignVCenter },
        { "rounds", 0.11, "rounds", Qt::AlignRight | Qt::AlignVCenter },
        { "note", 0.13, "", Qt::AlignRight | Qt::AlignVCenter },
    };
    const int pad = std::max(1, margin / 2);
    const int gutter = columnCount > 1 ? margin : 0;
    const int columnWidth = (inner - gutter * (columnCount - 1)) / columnCount;
    auto cellArea = [&](int block, int column, int y, int h) {
        const int blockLeft = margin + block * (columnWidth + gutter);
        int left = blockLeft;
        for (int c = 0; c < column; ++c) {
            left += scaled(columns[c].share, columnWidth);
        }
        const int right = column == 4 ? blockLeft + columnWidth
                                      : left + scaled(columns[column].share, columnWidth);
        return QRect(left + pad, y, right - left - 2 * pad, h);
    };
    // The rule the standings follow, over the first block's rank and name columns.
    scene.texts.push_back(text(QStringLiteral("head_rule"),
        cellArea(0, 0, top, headHeight).united(cellArea(0, 1, top, headHeight)),
        QStringLiteral("Standings: %1").arg(RuleText(shown.gameKind, shown.rule)), kSubText,
        kBackground, Qt::AlignLeft | Qt::AlignVCenter));
    for (int block = 0; block < columnCount; ++block) {
        for (int c = 2; c < 4; ++c) {
            scene.texts.push_back(
                text(QStringLiteral("head_%1%2").arg(QLatin1String(columns[c].id)).arg(block + 1),
                    cellArea(block, c, top, headHeight), QLatin1String(columns[c].title), kSubText,
                    kBackground, columns[c].alignment));
        }
    }
    top += headHeight;
    for (int slot = 0; slot < shownLines.size(); ++slot) {
        const int index = shownLines[slot];
        const Standing &line = shown.standings[index];
        const int block = slot / rowsPerBlock;
        const int row = slot % rowsPerBlock;
        const bool leader = line.rank == 1;
        const quint32 panel = leader ? kLeaderPanel : (slot % 2 == 0 ? kRankPanel : kBackground);
        const int y = top + row * rowHeight;
        if (panel != kBackground) {
            scene.panels.push_back(
                { QRect(margin + block * (columnWidth + gutter), y, columnWidth, rowHeight),
                    panel });
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
            line.roundsPlayed > 0 ? ScoreText(shown.gameKind, line.score) : QString(),
            QString::number(line.roundsPlayed),
            note,
        };
        for (int c = 0; c < 5; ++c) {
            if (values[c].isEmpty()) {
                continue;
            }
            const bool small = c == 4;
            QRect area = cellArea(block, c, y, rowHeight);
            if (small) {
                area = QRect(area.left(), y + rowHeight / 4, area.width(), rowHeight / 2);
            }
            // Named by the line, so a player's texts keep their names from page to page.
            scene.texts.push_back(
                text(QStringLiteral("%1%2").arg(QLatin1String(columns[c].id)).arg(index + 1), area,
                    values[c], small ? kSubText : colour, panel, columns[c].alignment,
                    c == 1 && leader, c == 1));
        }
    }
    return scene;
}

} // namespace competition
