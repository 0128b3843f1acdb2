// SPDX-License-Identifier: MIT
#include "display/display_picture.h"

#include "shared/bgr_colour.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace display
{

namespace
{

    QFont fontOf(const scoreboard::TextItem &item, int pixelSize)
    {
        return Font(pixelSize, item.bold);
    }

    // The same text in the same place, size and colour looks the same.
    bool sameLook(const scoreboard::TextItem &a, const scoreboard::TextItem &b)
    {
        return a.area == b.area && a.text == b.text && a.pixelSize == b.pixelSize
            && a.bold == b.bold && a.elide == b.elide && a.alignment == b.alignment
            && a.colour == b.colour;
    }

} // namespace

QFont Font(int pixelSize, bool bold)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

DrawnText FitText(const scoreboard::TextItem &item)
{
    int pixelSize = item.pixelSize;
    QFont font = fontOf(item, pixelSize);
    // Shrink until the line fits the area's height, then (unless it is cut instead) its
    // width: each step measures the real font, which does not scale exactly linearly.
    for (QFontMetrics metrics(font); metrics.height() > item.area.height() && pixelSize > 1;
         metrics = QFontMetrics(font)) {
        pixelSize = std::min(pixelSize - 1,
            scoreboard::FitPixelSize(pixelSize, metrics.height(), item.area.height()));
        font.setPixelSize(pixelSize);
    }
    QString text = item.text;
    if (item.elide) {
        text = QFontMetrics(font).elidedText(
            item.text, Qt::ElideRight, item.area.width(), Qt::TextSingleLine);
    } else {
        for (QFontMetrics metrics(font);
             metrics.horizontalAdvance(text) > item.area.width() && pixelSize > 1;
             metrics = QFontMetrics(font)) {
            pixelSize = std::min(pixelSize - 1,
                scoreboard::FitPixelSize(
                    pixelSize, metrics.horizontalAdvance(text), item.area.width()));
            font.setPixelSize(pixelSize);
        }
    }
    return { item, font, text };
}

namespace
{

    bool isNumber(const QString &text)
    {
        return std::all_of(text.cbegin(), text.cend(), [](QChar c) {
            return c.isDigit() || c.isSpace() || c.category() == QChar::Punctuation_Other;
        });
    }

    void drawStar(QPainter &painter, const QRectF &area, const QColor &colour)
    {
        const QPointF centre = area.center();
        const double outer = std::min(area.width(), area.height()) / 2.0;
        const double inner = outer * 0.45;
        QPainterPath star;
        for (int i = 0; i < 10; ++i) {
            const double angle = -std::numbers::pi / 2 + i * std::numbers::pi / 5;
            const double radius = i % 2 == 0 ? outer : inner;
            const QPointF point =
                centre + QPointF(std::cos(angle) * radius, std::sin(angle) * radius);
            if (i == 0) {
                star.moveTo(point);
            } else {
                star.lineTo(point);
            }
        }
        star.closeSubpath();
        painter.fillPath(star, colour);
    }

    int filledWidth(const scoreboard::BarItem &bar)
    {
        return static_cast<int>(std::lround(bar.fraction * bar.area.width()));
    }

} // namespace

Piece PieceStore::piece(const QString &group, const QString &text, const QFont &font,
    quint32 colour, qreal ratio, bool character)
{
    const QString key = group + QLatin1Char('|') + text;
    auto kept = m_kept.find(key);
    if (kept == m_kept.end()) {
        const QFontMetrics metrics(font);
        // The ink may reach past the advance and above the ascent; the picture holds all of it.
        const QRect box = metrics.boundingRect(text).united(QRect(
            0, -metrics.ascent(), std::max(1, metrics.horizontalAdvance(text)), metrics.height()));
        auto made = std::make_shared<Rendering>();
        made->offset = box.topLeft();
        made->size = box.size();
        made->group = character ? group : QString();
        made->pixmap = QPixmap((QSizeF(box.size()) * ratio).toSize());
        made->pixmap.setDevicePixelRatio(ratio);
        made->pixmap.fill(Qt::transparent);
        QPainter painter(&made->pixmap);
        painter.setFont(font);
        painter.setPen(rotavex::ColourFromBgr(colour));
        painter.drawText(-box.topLeft(), text);
        painter.end();
        kept = m_kept.insert(key, std::move(made));
        m_grown = true;
    }
    const Rendering &rendering = **kept;
    return { *kept, QRect(rendering.offset, rendering.size) };
}

void PieceStore::keepOnlyUsed()
{
    // Without a new rendering since the last look, what is kept cannot have grown.
    if (!m_grown) {
        return;
    }
    m_grown = false;
    // A rendering that only this store holds is shown nowhere.
    QHash<QString, bool> groupsShown;
    for (const auto &kept : std::as_const(m_kept)) {
        if (kept.use_count() > 1 && !kept->group.isEmpty()) {
            groupsShown.insert(kept->group, true);
        }
    }
    m_kept.removeIf([&groupsShown](const auto &kept) {
        const Rendering &rendering = *kept.value();
        return kept.value().use_count() == 1
            && (rendering.group.isEmpty() || !groupsShown.contains(rendering.group));
    });
}

namespace
{

    // The pieces of `drawn` where they lie on the window.
    std::vector<Piece> place(const DrawnText &drawn, qreal ratio, PieceStore &store)
    {
        const QFontMetrics metrics(drawn.font);
        const QRect &area = drawn.item.area;
        const int width = metrics.horizontalAdvance(drawn.text);
        int left = area.left();
        if (drawn.item.alignment & Qt::AlignRight) {
            left = area.right() + 1 - width;
        } else if (drawn.item.alignment & Qt::AlignHCenter) {
            left = area.left() + (area.width() - width) / 2;
        }
        int top = area.top() + (area.height() - metrics.height()) / 2;
        if (drawn.item.alignment & Qt::AlignBottom) {
            top = area.bottom() + 1 - metrics.height();
        } else if (drawn.item.alignment & Qt::AlignTop) {
            top = area.top();
        }
        const QPoint baseline(left, top + metrics.ascent());
        const QString group = QStringLiteral("%1 %2 %3 %4")
                                  .arg(drawn.font.pixelSize())
                                  .arg(drawn.font.bold() ? 'b' : 'n')
                                  .arg(drawn.item.colour)
                                  .arg(qRound(ratio * 100));
        std::vector<Piece> pieces;
        // Numbers are pieced together from their characters: they change every tick, their
        // digits do not. Any other text is one piece.
        if (!isNumber(drawn.text)) {
            pieces.push_back(
                store.piece(group, drawn.text, drawn.font, drawn.item.colour, ratio, false));
            pieces.back().box.translate(baseline);
            return pieces;
        }
        for (qsizetype i = 0; i < drawn.text.size(); ++i) {
            pieces.push_back(store.piece(
                group, QString(drawn.text.at(i)), drawn.font, drawn.item.colour, ratio, true));
            pieces.back().box.translate(
                baseline + QPoint(metrics.horizontalAdvance(drawn.text.left(i)), 0));
        }
        return pieces;
    }

    // The text of `previous` with the id of `item`: usually at the same place in the list.
    const PlacedText *earlier(
        const std::vector<PlacedText> &previous, std::size_t index, const QString &id)
    {
        if (index < previous.size() && previous[index].drawn.item.id == id) {
            return &previous[index];
        }
        const auto found = std::find_if(previous.cbegin(), previous.cend(),
            [&id](const PlacedText &text) { return text.drawn.item.id == id; });
        return found == previous.cend() ? nullptr : &*found;
    }

    void addPieces(
        QRegion &region, const std::vector<Piece> &pieces, const std::vector<Piece> &others)
    {
        for (const Piece &piece : pieces) {
            if (std::find(others.cbegin(), others.cend(), piece) == others.cend()) {
                region += piece.box;
            }
        }
    }

    // Adds the areas of the items that differ between `before` and `after`, item by item.
    template <typename Item, typename Same, typename Area>
    void addChanged(QRegion &region, const std::vector<Item> &before,
        const std::vector<Item> &after, Same same, Area area)
    {
        for (std::size_t i = 0; i < std::max(before.size(), after.size()); ++i) {
            if (i < before.size() && i < after.size() && same(before[i], after[i])) {
                continue;
            }
            if (i < before.size()) {
                region += area(before[i]);
            }
            if (i < after.size()) {
                region += area(after[i]);
            }
        }
    }

} // namespace

Picture LayOut(
    scoreboard::Scene scene, QSize size, qreal ratio, const Picture &previous, PieceStore &store)
{
    Picture picture;
    picture.size = size;
    picture.ratio = ratio;
    picture.texts.reserve(scene.texts.size());
    const bool sameScale = ratio == previous.ratio;
    for (std::size_t i = 0; i < scene.texts.size(); ++i) {
        const scoreboard::TextItem &item = scene.texts[i];
        const PlacedText *before = earlier(previous.texts, i, item.id);
        if (before && sameScale && sameLook(before->drawn.item, item)) {
            picture.texts.push_back(*before);
            picture.texts.back().drawn.item = item;
            continue;
        }
        PlacedText placed;
        placed.drawn = FitText(item);
        placed.pieces = place(placed.drawn, ratio, store);
        picture.texts.push_back(std::move(placed));
    }
    picture.scene = std::move(scene);
    return picture;
}

QRegion ChangedRegion(const Picture &before, const Picture &after)
{
    if (before.size != after.size || before.ratio != after.ratio
        || before.scene.background != after.scene.background
        || before.scene.markColour != after.scene.markColour) {
        return QRegion(QRect(QPoint(0, 0), after.size));
    }
    QRegion region;
    addChanged(
        region, before.scene.panels, after.scene.panels,
        [](const scoreboard::PanelItem &a, const scoreboard::PanelItem &b) {
            return a.area == b.area && a.colour == b.colour;
        },
        [](const scoreboard::PanelItem &panel) { return panel.area; });
    // A bar that only grew or shrank changes between its two ends.
    for (std::size_t i = 0; i < std::min(before.scene.bars.size(), after.scene.bars.size()); ++i) {
        const scoreboard::BarItem &a = before.scene.bars[i];
        const scoreboard::BarItem &b = after.scene.bars[i];
        if (a.area == b.area && a.colour == b.colour && a.track == b.track) {
            const int from = std::min(filledWidth(a), filledWidth(b));
            const int to = std::max(filledWidth(a), filledWidth(b));
            region += QRect(a.area.left() + from, a.area.top(), to - from, a.area.height());
        }
    }
    addChanged(
        region, before.scene.bars, after.scene.bars,
        [](const scoreboard::BarItem &a, const scoreboard::BarItem &b) {
            return a.area == b.area && a.colour == b.colour && a.track == b.track;
        },
        [](const scoreboard::BarItem &bar) { return bar.area; });
    addChanged(
        region, before.scene.leaderMarks, after.scene.leaderMarks,
        [](const QRect &a, const QRect &b) { return a == b; },
        [](const QRect &mark) { return mark; });
    // Texts by id, down to the characters of a number that changed.
    for (std::size_t i = 0; i < after.texts.size(); ++i) {
        const PlacedText &text = after.texts[i];
        const PlacedText *old = earlier(before.texts, i, text.drawn.item.id);
        if (!old) {
            addPieces(region, text.pieces, {});
        } else if (old->pieces != text.pieces) {
            addPieces(region, text.pieces, old->pieces);
            addPieces(region, old->pieces, text.pieces);
        }
    }
    for (std::size_t i = 0; i < before.texts.size(); ++i) {
        const PlacedText &text = before.texts[i];
        if (!earlier(after.texts, i, text.drawn.item.id)) {
            addPieces(region, text.pieces, {});
        }
    }
    return region;
}

namespace
{

    void paintPart(QPainter &painter, const Picture &picture, const QRect &part)
    {
        const scoreboard::Scene &scene = picture.scene;
        painter.setClipRect(part);
        painter.fillRect(part, rotavex::ColourFromBgr(scene.background));
        for (const scoreboard::PanelItem &panel : scene.panels) {
            if (part.intersects(panel.area)) {
                painter.fillRect(panel.area, rotavex::ColourFromBgr(panel.colour));
            }
        }
        for (const scoreboard::BarItem &bar : scene.bars) {
            if (!part.intersects(bar.area)) {
                continue;
            }
            painter.fillRect(bar.area, rotavex::ColourFromBgr(bar.track));
            QRect filled = bar.area;
            filled.setWidth(filledWidth(bar));
            if (filled.width() > 0) {
                painter.fillRect(filled, rotavex::ColourFromBgr(bar.colour));
            }
        }
        painter.setRenderHint(QPainter::Antialiasing);
        for (const QRect &mark : scene.leaderMarks) {
            if (part.intersects(mark)) {
                drawStar(painter, mark, rotavex::ColourFromBgr(scene.markColour));
            }
        }
        for (const PlacedText &text : picture.texts) {
            for (const Piece &piece : text.pieces) {
                if (part.intersects(piece.box)) {
                    painter.drawPixmap(piece.box.topLeft(), piece.rendering->pixmap);
                }
            }
        }
    }

} // namespace

void Paint(QPainter &painter, const Picture &picture, const QRegion &region)
{
    // Only what lies in the region is drawn: everything else on the window is still as the
    // last picture left it. Rectangle by rectangle: clipped to one rectangle the painter fills
    // and blends on its fast paths, clipped to a region of many it does not (about five times
    // the time for a tick's few digits and bar ends).
    for (const QRect &part : region) {
        paintPart(painter, picture, part);
    }
    painter.setClipping(false);
}

} // namespace display
