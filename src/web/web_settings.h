// SPDX-License-Identifier: MIT
#pragma once

#include "settings/settings_keys.h"

#include <QString>
#include <QtGlobal>

#include <optional>

namespace web
{

/// How the web scoreboard is set up, as kept between runs (settings_store::web_page).
struct WebSettings {
    bool on = settings_store::web_page::kOn.absent; ///< off unless a yes is stored
    quint16 port = quint16(settings_store::web_page::kPort.absent); ///< 1..65535, else 8080
    /// Every network interface, so phones reach it (a yes, or nothing stored: the first
    /// choice); this computer only (a stream's browser source on the same machine) for a no
    /// or a text that says neither.
    bool allInterfaces = settings_store::web_page::kAllInterfaces.absent;
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
