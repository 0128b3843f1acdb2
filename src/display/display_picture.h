// SPDX-License-Identifier: MIT
#pragma once

#include "display/scoreboard.h"

#include <QFont>
#include <QHash>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QString>

#include <memory>
#include <vector>

class QPainter;

namespace display
{

/// The display's typeface at `pixelSize`: every Debian desktop has it, and its digits are all
/// one width, so numbers do not jitter.
QFont Font(int pixelSize, bool bold = false);

/// One text as it is drawn: the font fitted to its area, the text after elision.
struct DrawnText {
    scoreboard::TextItem item;
    QFont font;
    QString text;
};

/// Fits `item` to its area: the font shrunk until the line fits the area's height and, unless
/// the text is cut with "…" instead, its width.
DrawnText FitText(const scoreboard::TextItem &item);

/// A text (or one character of a number) drawn once into a picture of its own, all of its ink
/// included.
struct Rendering {
    QPixmap pixmap;
    QPoint offset; ///< top left of the picture from the origin of the baseline
    QSize size; ///< in device-independent pixels
    QString group; ///< font, colour and scale of a number's character; empty for a whole text
};

/// A rendering where it lies on the window, in device-independent pixels.
struct Piece {
    std::shared_ptr<const Rendering> rendering;
    QRect box;
    bool operator==(const Piece &other) const
    {
        return rendering == other.rendering && box == other.box;
    }
};

/// Rendered texts for the display's pictures. It keeps exactly what the pictures still hold,
/// whatever its size, and for each number font in use every character drawn in it so far
/// (digits change every tick, the set of digits does not grow past a dozen).
class PieceStore
{
public:
    /// The rendered `text` in the font, colour and scale that `group` names, its origin at the
    /// baseline's; drawn now unless it is kept. `character`: one character of a number.
    Piece piece(const QString &group, const QString &text, const QFont &font, quint32 colour,
        qreal ratio, bool character);
    /// Forgets every rendering no picture holds any more, except the characters of the number
    /// fonts that are still in use; only when something was rendered since the last call, so
    /// what is kept never grows past what was shown.
    void keepOnlyUsed();

private:
    QHash<QString, std::shared_ptr<const Rendering>> m_kept;
    bool m_grown = false; ///< a rendering was made since the last keepOnlyUsed
};

/// One text of a picture with its pieces where they lie.
struct PlacedText {
    DrawnText drawn;
    std::vector<Piece> pieces;
};

/// The whole display as laid out for one scene: the scene and its texts' pieces where they
/// lie, in drawing order after the panels, bars and marks.
struct Picture {
    scoreboard::Scene scene;
    QSize size;
    qreal ratio = 1.0;
    std::vector<PlacedText> texts;
};

/// Lays `scene` out for a window of `size` at `ratio` device pixels per pixel. A text that is
/// as it was in `previous` keeps its fit and pieces; only new or changed texts are measured.
Picture LayOut(
    scoreboard::Scene scene, QSize size, qreal ratio, const Picture &previous, PieceStore &store);

/// Where `after` looks different from `before`: the places of everything that was added,
/// removed, moved or changed. Empty when the two pictures look the same.
QRegion ChangedRegion(const Picture &before, const Picture &after);

/// Paints what of `picture` lies in `region`, background included, and nothing outside it.
void Paint(QPainter &painter, const Picture &picture, const QRegion &region);

} // namespace display
