// SPDX-License-Identifier: MIT
#pragma once

#include "settings/settings_keys.h"
#include "shared/player_tables.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

#include <optional>

namespace settings_store
{

using rotavex::PlayerSlot;

/// Application name and section under which every value is kept.
inline constexpr auto kApplication = "Rotavex";
inline constexpr auto kSection = "Properties";

/// The stored string at (application, section, key) in the per-user store; `fallback` as text
/// when the key is absent. A key present with an empty value gives "".
QString ReadSetting(const QString &application, const QString &section, const QString &key,
    const QVariant &fallback);

/// Stores `value` at (application, section, key), replacing any earlier value, and checks that
/// it reached the file. On failure gives a plain-text message for the user naming the file and
/// the reason; nullopt when the value is stored.
std::optional<QString> WriteSetting(
    const QString &application, const QString &section, const QString &key, const QString &value);

/// The stored text of `key` in the program's section; "" when absent.
QString Read(const TextKey &key);
std::optional<QString> Write(const TextKey &key, const QString &value);
/// The stored yes or no of `key` (see FlagKey); a text that means neither is reported once a
/// run through TakeStoreNotice().
bool Read(const FlagKey &key);
/// Stores "1" or "0".
std::optional<QString> Write(const FlagKey &key, bool value);
/// The stored number of `key`, or its `absent` value.
qint64 Read(const NumberKey &key);
std::optional<QString> Write(const NumberKey &key, qint64 value);

/// A yes or no as users write it: true, yes, on, 1 or false, no, off, 0, in any case, with
/// spaces around; nullopt for anything else (the empty text included).
std::optional<bool> ParseFlag(QStringView text);

/// The file behind the store (it need not exist).
QString StoreFile();

/// Why the store's file could not be written, in words for the user: a folder in the file's
/// place, a folder that cannot be made or written, a read-only file, or (when nothing on the
/// file system explains it) a full disk or a file the store cannot parse.
QString WriteFailureReason(const QString &file, bool formatError);

/// When the store's file reads with a format error (damaged or hand-edited beyond repair), the
/// next write would drop whatever could not be read; so, once per file and run, this copies it
/// beside itself as "<file>.unreadable-<yyyyMMdd-HHmmss>" (of `now`) and gives the plain-text
/// message that says so. nullopt when the file reads cleanly, is absent or was copied already.
std::optional<QString> KeepUnreadableCopy(const QDateTime &now);

/// The longest name the setup dialog's field takes; a longer stored name is cut to it on load,
/// so no longer text ever reaches a label or a layout.
inline constexpr qsizetype kMaxNameLength = 32767;

/// A plain-text message, given once, about a settings file that stood in the way (a FIFO or a
/// device in its place, moved aside before anything read it) or a yes-or-no setting that said
/// neither; "" when there is none.
QString TakeStoreNotice();

/// "Name1".."Name4" and "CommPort1".."CommPort4".
QString NameKey(PlayerSlot player);
QString PortKey(PlayerSlot player);

/// The stored name of a player, "PLAYER n" when none is stored; at most kMaxNameLength
/// characters.
QString ReadPlayerName(PlayerSlot player);
std::optional<QString> WritePlayerName(PlayerSlot player, const QString &name);

/// The stored port number of a player: 1 when none is stored; a stored text that is not a
/// whole number in the 16-bit range counts as 0 (no selection).
qint16 ReadPlayerPort(PlayerSlot player);
/// Stores a port number 0..16 (0 = no selection) as decimal text.
std::optional<QString> WritePlayerPort(PlayerSlot player, int port);

/// "Device1".."Device4": the Bluetooth address of the device a player uses instead of a port.
QString DeviceKey(PlayerSlot player);
/// The stored device address of a player, upper case; empty when none is stored (or the text
/// is not an address): the player uses the stored port.
QString ReadPlayerDevice(PlayerSlot player);
/// Stores the device address, or "" for the port. A player that never had a device keeps the
/// file as it was when `address` is empty.
std::optional<QString> WritePlayerDevice(PlayerSlot player, const QString &address);

/// "OpenAtStart": whether start-up opens the stored links (links::kOpenAtStart).
bool ReadOpenAtStart();
/// Stores "1" or "0".
std::optional<QString> WriteOpenAtStart(bool open);

/// Converts stored port text to a number; anything not a whole 16-bit number gives 0.
qint16 PortFromText(const QString &text);

} // namespace settings_store
