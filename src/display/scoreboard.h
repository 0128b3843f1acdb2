// SPDX-License-Identifier: MIT
#pragma once

#include "evening/scoreboard_state.h"
#include "shared/play_mode.h"
#include "shared/player_tables.h"

#include <QRect>
#include <QSize>
#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <array>
#include <optional>
#include <vector>

namespace scoreboard
{

using rotavex::PerPlayer;
using rotavex::PlayerSlot;
using rotavex::PlayMode;

/// WCAG relative luminance (0 black .. 1 white) of a 0x00BBGGRR colour.
double RelativeLuminance(quint32 bgr);
/// WCAG contrast ratio of two 0x00BBGGRR colours, 1 .. 21, whichever is lighter.
double ContrastRatio(quint32 first, quint32 second);

/// The display's palette (0x00BBGGRR), for every picture it shows. Every text colour stands at
/// least 7:1 against every panel it is drawn on; the tests check each pair.
namespace palette
{
    inline constexpr quint32 kBackground = 0x00201410; // RGB(16, 20, 32)
    inline constexpr quint32 kLeaderPanel = 0x0058342C; // RGB(44, 52, 88)
    inline constexpr quint32 kRankPanel = 0x0038241E; // RGB(30, 36, 56)
    inline constexpr quint32 kText = 0x00FFFFFF;
    inline constexpr quint32 kSubText = 0x00DACEC8; // RGB(200, 206, 218)
    inline constexpr quint32 kGold = 0x0000D0FF; // RGB(255, 208, 0)
    inline constexpr quint32 kTrack = 0x0052403A; // RGB(58, 64, 82)
} // namespace palette

/// One text of the display: where it goes (pixels), what it says and how it is drawn. The
/// pixel size is what the area allows; the window shrinks it further if the font is wider.
struct TextItem {
    QString id; ///< "name1", "live3", "countdown", "rankRev2" ... unique in a scene
    QRect area;
    QString text; ///< plain text, never markup
    int pixelSize = 1;
    bool bold = false;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    quint32 colour = 0; ///< 0x00BBGGRR
    quint32 background = 0; ///< the colour the text stands on
    bool elide = false; ///< too long: cut with an ellipsis instead of a smaller font
    bool live = false; ///< a player's live number
};

struct BarItem {
    QRect area;
    double fraction = 0.0; ///< 0 .. 1 of the area filled
    quint32 colour = 0;
    quint32 track = 0;
};

struct PanelItem {
    QRect area;
    quint32 colour = 0;
};

/// The whole picture for a window of `size` pixels.
struct Scene {
    quint32 background = 0;
    std::vector<PanelItem> panels; ///< drawn first
    std::vector<BarItem> bars;
    std::vector<QRect> leaderMarks; ///< a star in each
    quint32 markColour = 0;
    std::vector<TextItem> texts;
    /// How many pictures the scene turns through (a competition's long standings); 1 else.
    int pages = 1;
};

/// A text filling its area's height as the display's texts do (a font's line is about 1.17
/// times its pixel size), not bold, not cut.
TextItem FittedText(const QString &id, const QRect &area, const QString &content, quint32 colour,
    quint32 background, Qt::Alignment alignment);

/// Lays the display out: a header (the mode, the best rpm of all and, in Strength, the large
/// countdown in the middle), then either four player rows (mark, name, record, live number
/// with its unit, bar) or the ranked result. Every size follows the window's.
Scene BuildScene(const evening::ScoreboardState &state, QSize size);

/// The pixel size at which a text measured `textWidth` wide at `pixelSize` fits `areaWidth`:
/// scaled down in proportion (never up), at least 1.
int FitPixelSize(int pixelSize, int textWidth, int areaWidth);

/// Where the display window opens, as remembered between runs.
struct Placement {
    int screen = -1; ///< index into the list of screens; -1 none stored
    bool fullScreen = false;
    bool operator==(const Placement &) const = default;
};

/// The screen to open on: the stored one if it still exists; otherwise, with more than one
/// screen, the first one that is not the main window's; otherwise the main window's.
int ChooseScreen(int stored, int screenCount, int mainWindowScreen);

/// Whether to open in full screen: as stored, but never over the main window's only screen.
bool OpenFullScreen(bool stored, int screenCount);

/// "DisplayScreen" and "DisplayFullScreen" in the program's settings section.
Placement ReadPlacement();
void WritePlacement(const Placement &placement);

} // namespace scoreboard
