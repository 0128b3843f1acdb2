// SPDX-License-Identifier: MIT
#include "web/web_settings.h"

#include "settings/settings_store.h"
#include "shared/decimal_text.h"

namespace web
{

namespace
{
    QString Read(const QString &key)
    {
        return settings_store::ReadSetting(QLatin1String(settings_store::kApplication),
            QLatin1String(settings_store::kSection), key, QString())
            .trimmed();
    }

    std::optional<QString> Write(const QString &key, const QString &value)
    {
        return settings_store::WriteSetting(QLatin1String(settings_store::kApplication),
            QLatin1String(settings_store::kSection), key, value);
    }
} // namespace

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
    settings.on = Read(QStringLiteral("WebScoreboard")) == QLatin1String("1");
    settings.port = PortFromText(Read(QStringLiteral("WebPort"))).value_or(kDefaultPort);
    settings.allInterfaces = Read(QStringLiteral("WebAllInterfaces")) != QLatin1String("0");
    return settings;
}

std::optional<QString> WriteWebSettings(const WebSettings &settings)
{
    const auto flag = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
    if (auto failed = Write(QStringLiteral("WebScoreboard"), flag(settings.on))) {
        return failed;
    }
    if (auto failed = Write(QStringLiteral("WebPort"), QString::number(settings.port))) {
        return failed;
    }
    return Write(QStringLiteral("WebAllInterfaces"), flag(settings.allInterfaces));
}

} // namespace web
