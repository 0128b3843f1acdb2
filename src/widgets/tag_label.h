// SPDX-License-Identifier: MIT
#pragma once

#include "shared/player_tables.h"

#include <QFont>
#include <QHash>
#include <QLabel>
#include <QString>

namespace widgets
{

/// A label that always shows its caption as plain text (names come from users, so markup is
/// never interpreted) and keeps a free tag text (the record label keeps its best rpm there).
/// A caption wider than the room it has is cut short with "…", always at the label's font size;
/// the room is the label's width unless setRoomWidth() narrows it.
class TagLabel : public QLabel
{
    Q_OBJECT
public:
    explicit TagLabel(QWidget *parent = nullptr);

    QString tag() const { return m_tag; }
    void setTag(const QString &tag) { m_tag = tag; }

    void setBold(bool bold);
    bool bold() const { return font().bold(); }

    /// The point size the label was made with; setPointSize() changes what is shown.
    qreal designPointSize() const { return m_designPointSize; }
    void setPointSize(qreal pointSize);

    /// Pixels of the label's width that can be seen (a neighbour may cover the rest); -1 for
    /// all of it.
    void setRoomWidth(int px);
    /// The pixels a caption may take: the contents width, narrowed by setRoomWidth().
    int room() const;
    /// The caption as drawn: the whole text, or its start and "…" when it does not fit.
    QString shownText() const;
    /// The width in pixels the whole caption takes at `pointSize` in the label's font. Kept
    /// while the caption and the font (any size) stay: most ticks measure the same captions.
    qreal captionWidthAt(qreal pointSize) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QFont designFont() const;
    /// Keeps what was measured while the label's font stays, at whatever size it is shown.
    void keepMeasuresOf(const QFont &design);

    QString m_tag;
    qreal m_designPointSize = 0;
    int m_roomWidth = -1;
    bool m_fitting = false;
    mutable QString m_measuredText;
    mutable QFont m_measuredFont; ///< at the design size
    mutable QHash<qreal, qreal> m_measuredWidths; ///< by point size
};

/// Shrinks a fixed caption (a field's label) to the largest point size, up to its design size,
/// at which it fits its label; for captions that must be read whole.
void FitCaption(TagLabel *label);

/// Gives the four labels of a board column (speeds, or records) one point size: the largest, up
/// to their design size, at which every caption of the column fits its room, so no player's
/// figure looks smaller than another's. Below a readable size the captions are cut short instead.
void FitColumn(const rotavex::PerPlayer<TagLabel *> &column);

} // namespace widgets
