// SPDX-License-Identifier: MIT
#include "widgets/tag_label.h"

#include "widgets/caption_fit.h"

#include <QEvent>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <limits>

namespace widgets
{

namespace
{
    // No label is wider than this many characters of even the narrowest glyphs.
    constexpr qsizetype kMeasuredChars = 1000;
    // Captions up to this long are judged by their characters' widths before being measured.
    constexpr qsizetype kJudgedChars = 40;
    // Kerning moves two neighbouring characters apart by far less than this part of a line's
    // height (mostly it draws them closer).
    constexpr qreal kKerningEms = 0.1;
    // Figures smaller than this are hard to read from a few steps away.
    constexpr double kSmallestColumnPointSize = 6.0;
} // namespace

TagLabel::TagLabel(QWidget *parent)
    : QLabel(parent)
    , m_designPointSize(font().pointSizeF())
{
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::NoTextInteraction);
    keepMeasuresOf(designFont());
}

void TagLabel::setBold(bool bold)
{
    QFont shown = font();
    shown.setBold(bold);
    m_fitting = true; // the weight changes, not the size
    setFont(shown);
    m_fitting = false;
}

void TagLabel::setPointSize(qreal pointSize)
{
    if (pointSize <= 0 || font().pointSizeF() == pointSize) {
        return;
    }
    QFont shown = font();
    shown.setPointSizeF(pointSize);
    m_fitting = true;
    setFont(shown);
    m_fitting = false;
}

void TagLabel::changeEvent(QEvent *event)
{
    // A font given from outside is the new design; one set to fit a caption is not.
    if (event->type() == QEvent::FontChange) {
        if (!m_fitting) {
            m_designPointSize = font().pointSizeF();
        }
        keepMeasuresOf(designFont());
    }
    QLabel::changeEvent(event);
}

void TagLabel::setRoomWidth(int px)
{
    if (m_roomWidth != px) {
        m_roomWidth = px;
        update();
    }
}

int TagLabel::room() const
{
    const int contents = contentsRect().width();
    return m_roomWidth < 0 ? contents : std::min(contents, m_roomWidth);
}

QString TagLabel::shownText() const
{
    // A caption judged to fit in the design font needs no shaping to know it.
    if (font() == m_measuredFont && captionSurelyFits(room())) {
        return text();
    }
    const QString caption = caption_fit::MeasurablePrefix(text(), kMeasuredChars);
    const QFontMetricsF metrics(font());
    if (metrics.horizontalAdvance(caption) <= room() && caption.size() == text().size()) {
        return caption;
    }
    const QString elided = metrics.elidedText(caption, Qt::ElideRight, std::max(0, room()));
    // A prefix that happens to fit still lost its end: say so.
    return elided.endsWith(QChar(0x2026)) ? elided : elided + QChar(0x2026);
}

QFont TagLabel::designFont() const
{
    QFont design = font();
    if (m_designPointSize > 0) {
        design.setPointSizeF(m_designPointSize);
    }
    return design;
}

void TagLabel::keepMeasuresOf(const QFont &design)
{
    if (design != m_measuredFont) {
        m_measuredFont = design;
        m_measuredText.clear();
        m_measuredWidths.clear();
        m_charWidths.clear();
        m_hasJudged = false;
    }
}

qreal TagLabel::captionWidthAt(qreal pointSize) const
{
    if (text() != m_measuredText) {
        m_measuredText = text();
        m_measuredWidths.clear();
    }
    if (const auto kept = m_measuredWidths.constFind(pointSize); kept != m_measuredWidths.cend()) {
        return *kept;
    }
    QFont measured = m_measuredFont;
    measured.setPointSizeF(pointSize);
    const qreal width = QFontMetricsF(measured).horizontalAdvance(
        caption_fit::MeasurablePrefix(text(), kMeasuredChars));
    m_measuredWidths.insert(pointSize, width);
    return width;
}

bool TagLabel::captionSurelyFits(qreal room) const
{
    if (!m_hasJudged || text() != m_judgedText) {
        m_judgedText = text();
        m_judged = judgedWidth(m_judgedText);
        m_hasJudged = true;
    }
    return m_judged && *m_judged <= room;
}

std::optional<qreal> TagLabel::judgedWidth(const QString &caption) const
{
    if (caption.size() > kJudgedChars) {
        return std::nullopt;
    }
    const QFontMetricsF metrics(m_measuredFont);
    qreal sum = 0;
    for (const QChar ch : caption) {
        // Other scripts join or reorder characters, marks and surrogates are not a character
        // each, controls and formats change what is around them: those are measured whole.
        const bool plain =
            (ch.script() == QChar::Script_Common || ch.script() == QChar::Script_Latin)
            && (ch.isLetterOrNumber() || ch.isPunct() || ch.isSpace() || ch.isSymbol());
        if (!plain) {
            return std::nullopt;
        }
        auto kept = m_charWidths.constFind(ch.unicode());
        if (kept == m_charWidths.cend()) {
            kept = m_charWidths.insert(ch.unicode(), metrics.horizontalAdvance(ch));
        }
        sum += *kept;
    }
    const qreal kerning = kKerningEms * metrics.height();
    return sum + kerning * static_cast<qreal>(std::max<qsizetype>(0, caption.size() - 1));
}

void TagLabel::paintEvent(QPaintEvent *event)
{
    const QString shown = shownText();
    if (shown.size() == text().size() && shown == text()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(foregroundRole()));
    QRect area = contentsRect();
    area.setWidth(room());
    painter.drawText(area, static_cast<int>(alignment()) | Qt::TextSingleLine, shown);
}

void FitCaption(TagLabel *label)
{
    FitColumn(rotavex::PerPlayer<TagLabel *>({ label, label, label, label }));
}

void FitColumn(const rotavex::PerPlayer<TagLabel *> &column)
{
    const TagLabel *first = column[rotavex::kFirstPlayer];
    int room = std::numeric_limits<int>::max();
    for (rotavex::PlayerSlot n = rotavex::kFirstPlayer; n <= rotavex::kLastPlayer; ++n) {
        room = std::min(room, column[n]->room());
    }
    const auto widestAt = [&column](double pointSize) {
        qreal widest = 0;
        for (rotavex::PlayerSlot n = rotavex::kFirstPlayer; n <= rotavex::kLastPlayer; ++n) {
            widest = std::max(widest, column[n]->captionWidthAt(pointSize));
        }
        return widest;
    };
    // Most ticks change figures well inside their room: then nothing needs measuring whole.
    bool surelyFit = true;
    for (rotavex::PlayerSlot n = rotavex::kFirstPlayer; n <= rotavex::kLastPlayer; ++n) {
        surelyFit = surelyFit && column[n]->captionSurelyFits(room);
    }
    const double size = surelyFit ? first->designPointSize()
                                  : caption_fit::LargestFittingPointSize(first->designPointSize(),
                                      kSmallestColumnPointSize, room, widestAt);
    for (rotavex::PlayerSlot n = rotavex::kFirstPlayer; n <= rotavex::kLastPlayer; ++n) {
        column[n]->setPointSize(size);
    }
}

} // namespace widgets
