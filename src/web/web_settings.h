// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

namespace web
{

/// The port the web scoreboard listens on when none is stored.
inline constexpr quint16 kDefaultPort = 8080;

/// How the web scoreboard is set up, as kept between runs.
struct WebSettings {
    bool on = false; ///< "WebScoreboard": off unless "1" is stored
    quint16 port = kDefaultPort; ///< "WebPort": 1..65535; anything else gives the default
    /// "WebAllInterfaces": every network interface, so phones reach it (absent or anything but
    /// "0"); "0" this computer only (a stream's browser source on the same machine).
    bool allInterfaces = true;
    bool operator==(const WebSettings &) const = default;
};

/// The stored set-up; absent or unreadable values give the defaults.
WebSettings ReadWebSettings();
/// Stores all three values; a plain-text message for the user when the store could not
/// take them, nullopt when stored.
std::optional<QString> WriteWebSettings(const WebSettings &settings);

/// A stored port text as a port: a whole number 1..65535 (spaces around allowed), else nullopt.
std::optional<quint16> PortFromText(const QString &text);

} // namespace web
