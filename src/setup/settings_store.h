// SPDX-License-Identifier: MIT
#pragma once

#include "shared/player_tables.h"

#include <QString>
#include <QVariant>

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

/// Stores `value` at (application, section, key), replacing any earlier value.
void WriteSetting(
    const QString &application, const QString &section, const QString &key, const QString &value);

/// "Name1".."Name4" and "CommPort1".."CommPort4".
QString NameKey(PlayerSlot player);
QString PortKey(PlayerSlot player);

/// The stored name of a player, "PLAYER n" when none is stored.
QString ReadPlayerName(PlayerSlot player);
void WritePlayerName(PlayerSlot player, const QString &name);

/// The stored port number of a player: 1 when none is stored; a stored text that is not a
/// whole number in the 16-bit range counts as 0 (no selection).
qint16 ReadPlayerPort(PlayerSlot player);
/// Stores a port number 0..16 (0 = no selection) as decimal text.
void WritePlayerPort(PlayerSlot player, int port);

/// "OpenAtStart": whether start-up opens the stored links. Only a stored "1" means yes; absent
/// or anything else means no.
bool ReadOpenAtStart();
/// Stores "1" or "0".
void WriteOpenAtStart(bool open);

/// Converts stored port text to a number; anything not a whole 16-bit number gives 0.
qint16 PortFromText(const QString &text);

} // namespace settings_store
