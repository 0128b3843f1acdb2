// SPDX-License-Identifier: MIT
#include "web/web_settings.h"

#include "settings/settings_store.h"
#include "shared/decimal_text.h"

namespace web
{

namespace keys = settings_store::web_page;

std::optional<quint16> PortFromText(const QString &text)
{
    const std::optional<qint64> port = decimal_text::parseDigits(text.trimmed(), 1, 65535);
    if (!port) {
        return std::nullopt;
    }
    return static_cast<quint16>(*port);
}

WebSettings ReadWebSettings()
{
    WebSettings settings;
    settings.on = settings_store::Read(keys::kOn);
    settings.port = static_cast<quint16>(settings_store::Read(keys::kPort));
    settings.allInterfaces = settings_store::Read(keys::kAllInterfaces);
    return settings;
}

std::optional<QString> WriteWebSettings(const WebSettings &settings)
{
    if (auto failed = settings_store::Write(keys::kOn, settings.on)) {
        return failed;
    }
    if (auto failed = settings_store::Write(keys::kPort, settings.port)) {
        return failed;
    }
    return settings_store::Write(keys::kAllInterfaces, settings.allInterfaces);
}

} // namespace web
