// SPDX-License-Identifier: MIT
#pragma once

#include "shared/player_tables.h"

#include <QString>
#include <QtGlobal>

#include <limits>

/// Every key the program keeps in its settings file, by area, with the value it reads as when
/// the file does not have it. The names are the file's: changing one loses what users stored.
namespace settings_store
{

/// A setting kept as free text (a name, a folder, a window's place); "" when absent.
struct TextKey {
    const char *name;
};

/// A yes-or-no setting, written "1" or "0" and read as users write it (see ParseFlag). Absent,
/// it reads as `absent`; any other text reads as `unreadable`, the safe side, and is reported
/// once a run.
struct FlagKey {
    const char *name;
    bool absent;
    bool unreadable;
};

/// A whole number in least..most, written in decimal; absent or anything else reads as
/// `absent`.
struct NumberKey {
    const char *name;
    qint64 absent;
    qint64 least = 0;
    qint64 most = std::numeric_limits<qint32>::max();
};

/// One key per player: the prefix followed by the player's number ("Name1".."Name4").
struct PlayerKey {
    const char *prefix;
    QString name(rotavex::PlayerSlot player) const
    {
        return QLatin1String(prefix) + QString::number(player);
    }
};

/// Who plays and how each player is reached.
namespace players
{
    /// The player's name; "PLAYER n" when absent.
    inline constexpr PlayerKey kName { "Name" };
    /// The player's port number as text, 1..16 (0: none chosen); 1 when absent.
    inline constexpr PlayerKey kPort { "CommPort" };
    inline constexpr int kDefaultPort = 1;
    /// The Bluetooth address of the device used instead of the port; "" for the port.
    inline constexpr PlayerKey kDevice { "Device" };
} // namespace players

/// The links as a whole.
namespace links
{
    /// Whether start-up opens the stored links.
    inline constexpr FlagKey kOpenAtStart { "OpenAtStart", false, false };
} // namespace links

/// Where the spectators' display opens.
namespace display
{
    /// The screen's number; -1 (absent or not a number): chosen by the program.
    inline constexpr NumberKey kScreen { "DisplayScreen", -1 };
    inline constexpr FlagKey kFullScreen { "DisplayFullScreen", false, false };
} // namespace display

/// The web scoreboard. Off unless asked for; a text that means neither yes nor no keeps it to
/// this computer, though a first choice (nothing stored) offers it to every device.
namespace web_page
{
    inline constexpr FlagKey kOn { "WebScoreboard", false, false };
    inline constexpr NumberKey kPort { "WebPort", 8080, 1, 65535 };
    inline constexpr FlagKey kAllInterfaces { "WebAllInterfaces", true, false };
} // namespace web_page

/// The announcer: the count-in, the tones and the voice.
namespace sound
{
    /// Whether the board's Start counts in (3, 2, 1, go) before the game; off: it starts at
    /// once.
    inline constexpr FlagKey kCountInOnBoard { "CountInOnBoard", false, false };
    /// Whether a competition heat started from its console counts in.
    inline constexpr FlagKey kCountInForHeats { "CountInForHeats", true, true };
    /// Whether tones are played at all.
    inline constexpr FlagKey kOn { "SoundOn", true, true };
    /// The tones' loudness in percent.
    inline constexpr NumberKey kVolume { "SoundVolume", 80, 0, 100 };
    /// Whether heats, winners and records are spoken (with a speech engine present).
    inline constexpr FlagKey kVoice { "SoundVoice", true, true };
} // namespace sound

/// Where each window was left, as "x,y,width,height" of its frame's top left and its size.
namespace window_places
{
    inline constexpr TextKey kBoard { "BoardPlace" };
    inline constexpr TextKey kScore { "ScorePlace" };
    inline constexpr TextKey kCompetition { "CompetitionPlace" };
    inline constexpr TextKey kDisplay { "DisplayPlace" };
    /// The high-score board's size before it had a place; 0 when absent.
    inline constexpr NumberKey kScoreWidth { "ScoreWidth", 0 };
    inline constexpr NumberKey kScoreHeight { "ScoreHeight", 0 };
} // namespace window_places

/// The results' exports.
namespace results
{
    /// The folder of the last export; "" when none.
    inline constexpr TextKey kExportFolder { "ExportFolder" };
} // namespace results

} // namespace settings_store
