// SPDX-License-Identifier: MIT
#include "setup/settings_store.h"

#include "shared/decimal_text.h"

#include <QSettings>
#include <QStringList>

namespace settings_store
{

namespace
{

    constexpr int kDefaultPort = 1;
    constexpr auto kOpenAtStartKey = "OpenAtStart";

    // Only the per-user store counts: a system-wide fallback file would make an absent key look
    // present, and the dialog would preselect a port the user never chose.
    void openSection(QSettings &settings, const QString &section)
    {
        settings.setFallbacksEnabled(false);
        settings.beginGroup(section);
    }

} // namespace

QString ReadSetting(const QString &application, const QString &section, const QString &key,
    const QVariant &fallback)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
        QString::fromLatin1(kApplication), application);
    openSection(settings, section);
    if (!settings.contains(key)) {
        return fallback.toString();
    }
    const QVariant value = settings.value(key);
    // A hand-edited file may hold "a, b" unquoted, which the store hands back as a list; the
    // joined text is what the user typed.
    if (value.metaType().id() == QMetaType::QStringList) {
        return value.toStringList().join(QStringLiteral(", "));
    }
    const QString text = value.toString();
    // Present means present: never let a stored empty value turn into a null string that a
    // caller could mistake for "absent".
    return text.isNull() ? QStringLiteral("") : text;
}

void WriteSetting(
    const QString &application, const QString &section, const QString &key, const QString &value)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
        QString::fromLatin1(kApplication), application);
    openSection(settings, section);
    settings.setValue(key, value);
    settings.sync();
}

QString NameKey(PlayerSlot player) { return QStringLiteral("Name%1").arg(player); }

QString PortKey(PlayerSlot player) { return QStringLiteral("CommPort%1").arg(player); }

QString ReadPlayerName(PlayerSlot player)
{
    return ReadSetting(QString::fromLatin1(kApplication), QString::fromLatin1(kSection),
        NameKey(player), QStringLiteral("PLAYER %1").arg(player));
}

void WritePlayerName(PlayerSlot player, const QString &name)
{
    WriteSetting(
        QString::fromLatin1(kApplication), QString::fromLatin1(kSection), NameKey(player), name);
}

qint16 ReadPlayerPort(PlayerSlot player)
{
    return PortFromText(ReadSetting(QString::fromLatin1(kApplication),
        QString::fromLatin1(kSection), PortKey(player), kDefaultPort));
}

void WritePlayerPort(PlayerSlot player, int port)
{
    WriteSetting(QString::fromLatin1(kApplication), QString::fromLatin1(kSection), PortKey(player),
        QString::number(port));
}

bool ReadOpenAtStart()
{
    return ReadSetting(QString::fromLatin1(kApplication), QString::fromLatin1(kSection),
               QString::fromLatin1(kOpenAtStartKey), QStringLiteral("0"))
        == QStringLiteral("1");
}

void WriteOpenAtStart(bool open)
{
    WriteSetting(QString::fromLatin1(kApplication), QString::fromLatin1(kSection),
        QString::fromLatin1(kOpenAtStartKey), open ? QStringLiteral("1") : QStringLiteral("0"));
}

qint16 PortFromText(const QString &text)
{
    return static_cast<qint16>(decimal_text::parseInt16(text).value_or(0));
}

} // namespace settings_store
