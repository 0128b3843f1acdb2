// SPDX-License-Identifier: MIT
#include "settings/settings_store.h"

#include "link/bluetooth_inventory.h"
#include "shared/decimal_text.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

#include <cstdio>
#include <sys/stat.h>

namespace settings_store
{

namespace
{

    // Only the per-user store counts: a system-wide fallback file would make an absent key look
    // present, and the dialog would preselect a port the user never chose.
    void openSection(QSettings &settings, const QString &section)
    {
        settings.setFallbacksEnabled(false);
        settings.beginGroup(section);
    }

    // Files that read with a format error this run. Qt parses a file once and shares the result
    // with later QSettings objects, and only the one that parsed it reports the error, so it is
    // remembered here.
    QStringList &unreadableFiles()
    {
        static QStringList files;
        return files;
    }

    QStringList &storeNotices()
    {
        static QStringList notices;
        return notices;
    }

    // The settings object reads its files as it is made, and reading a FIFO or a device in a
    // file's place would block start-up for good. So before the first one is made, anything in
    // those places that is not a regular file or a folder is moved aside, as a damaged file is.
    void guardStoreFiles()
    {
        static bool guarded = false;
        if (guarded) {
            return;
        }
        guarded = true;
        const QString base =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/';
        const QString app = QString::fromLatin1(kApplication);
        for (const QString &path : { base + app + u'/' + app + QStringLiteral(".conf"),
                 base + app + QStringLiteral(".conf") }) {
            const QByteArray name = QFile::encodeName(path);
            struct stat st = {};
            if (::lstat(name.constData(), &st) != 0) {
                continue;
            }
            const bool target = ::stat(name.constData(), &st) == 0;
            if (target && (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode))) {
                continue;
            }
            const QString aside = path + QStringLiteral(".unreadable-")
                + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
            if (std::rename(name.constData(), QFile::encodeName(aside).constData()) == 0) {
                storeNotices() << QStringLiteral("The settings file %1 was not a regular file. It "
                                                 "was moved to %2 and the settings start afresh.")
                                      .arg(QDir::toNativeSeparators(path),
                                          QDir::toNativeSeparators(aside));
            } else {
                storeNotices() << QStringLiteral("The settings file %1 is not a regular file and "
                                                 "could not be moved aside.")
                                      .arg(QDir::toNativeSeparators(path));
            }
        }
    }

    QString boundedName(const QString &name)
    {
        if (name.size() <= kMaxNameLength) {
            return name;
        }
        // Never split a surrogate pair.
        const qsizetype cut =
            name.at(kMaxNameLength - 1).isHighSurrogate() ? kMaxNameLength - 1 : kMaxNameLength;
        return name.left(cut);
    }

    // Keys and the section are plain ASCII.
    QString ascii(const char *text) { return QString::fromLatin1(text); }

    void noteFormatError(const QSettings &settings)
    {
        if (settings.status() == QSettings::FormatError
            && !unreadableFiles().contains(settings.fileName())) {
            unreadableFiles() << settings.fileName();
        }
    }

} // namespace

QString ReadSetting(const QString &application, const QString &section, const QString &key,
    const QVariant &fallback)
{
    guardStoreFiles();
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
        QString::fromLatin1(kApplication), application);
    noteFormatError(settings);
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

std::optional<QString> WriteSetting(
    const QString &application, const QString &section, const QString &key, const QString &value)
{
    guardStoreFiles();
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
        QString::fromLatin1(kApplication), application);
    noteFormatError(settings);
    openSection(settings, section);
    settings.setValue(key, value);
    settings.sync();
    if (settings.status() == QSettings::NoError) {
        unreadableFiles().removeAll(settings.fileName());
        return std::nullopt;
    }
    const QString file = QDir::toNativeSeparators(settings.fileName());
    return QStringLiteral("The settings could not be saved to %1: %2.")
        .arg(file,
            WriteFailureReason(settings.fileName(), settings.status() == QSettings::FormatError));
}

QString StoreFile()
{
    guardStoreFiles();
    return QSettings(QSettings::NativeFormat, QSettings::UserScope,
        QString::fromLatin1(kApplication), QString::fromLatin1(kApplication))
        .fileName();
}

QString WriteFailureReason(const QString &file, bool formatError)
{
    const QFileInfo info(file);
    if (info.isDir()) {
        return QStringLiteral("a folder of that name stands where the file should be");
    }
    const QFileInfo folder(info.absolutePath());
    const QString folderName = QDir::toNativeSeparators(folder.absoluteFilePath());
    if (!folder.exists()) {
        return QStringLiteral("its folder %1 cannot be made").arg(folderName);
    }
    if (!folder.isDir()) {
        return QStringLiteral("%1 is a file, not a folder").arg(folderName);
    }
    if (!folder.isWritable()) {
        return QStringLiteral("its folder is read-only");
    }
    if (info.exists() && !info.isWritable()) {
        return QStringLiteral("the file is read-only");
    }
    if (formatError) {
        return QStringLiteral("the file is damaged and the settings store cannot read it");
    }
    return QStringLiteral("writing the file failed (the disk may be full)");
}

std::optional<QString> KeepUnreadableCopy(const QDateTime &now)
{
    static QStringList copied;
    guardStoreFiles();
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
        QString::fromLatin1(kApplication), QString::fromLatin1(kApplication));
    noteFormatError(settings);
    const QString file = settings.fileName();
    if (!unreadableFiles().contains(file) || copied.contains(file)) {
        return std::nullopt;
    }
    copied << file;
    const QString copy =
        file + QStringLiteral(".unreadable-") + now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (!QFile::copy(file, copy)) {
        return QStringLiteral("The settings file %1 is damaged: what could not be read will be "
                              "lost when the settings are saved, and no copy of it could be "
                              "made beside it.")
            .arg(QDir::toNativeSeparators(file));
    }
    return QStringLiteral("The settings file %1 is damaged, so only part of it could be read. "
                          "It was copied to %2 before being saved again.")
        .arg(QDir::toNativeSeparators(file), QDir::toNativeSeparators(copy));
}

QString Read(const TextKey &key)
{
    return ReadSetting(ascii(kApplication), ascii(kSection), ascii(key.name), QString());
}

std::optional<QString> Write(const TextKey &key, const QString &value)
{
    return WriteSetting(ascii(kApplication), ascii(kSection), ascii(key.name), value);
}

std::optional<bool> ParseFlag(QStringView text)
{
    const QStringView word = text.trimmed();
    for (const char *yes : { "1", "true", "yes", "on" }) {
        if (word.compare(QLatin1String(yes), Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    for (const char *no : { "0", "false", "no", "off" }) {
        if (word.compare(QLatin1String(no), Qt::CaseInsensitive) == 0) {
            return false;
        }
    }
    return std::nullopt;
}

bool Read(const FlagKey &key)
{
    static QStringList reported;
    const QString absent = QStringLiteral("\n<absent>");
    const QString text = ReadSetting(ascii(kApplication), ascii(kSection), ascii(key.name), absent);
    if (text == absent) {
        return key.absent;
    }
    if (const std::optional<bool> flag = ParseFlag(text)) {
        return *flag;
    }
    // Once a run for each text: the notice waits for the next time notices are shown.
    const QString said = ascii(key.name) + u'=' + text;
    if (!reported.contains(said)) {
        reported << said;
        storeNotices() << QStringLiteral("The setting %1 in %2 is \"%3\", which is neither yes "
                                         "nor no (true, false, 1, 0, yes, no, on or off), so it "
                                         "counts as %4.")
                              .arg(ascii(key.name), QDir::toNativeSeparators(StoreFile()),
                                  text.left(40),
                                  key.unreadable ? QStringLiteral("yes") : QStringLiteral("no"));
    }
    return key.unreadable;
}

std::optional<QString> Write(const FlagKey &key, bool value)
{
    return WriteSetting(ascii(kApplication), ascii(kSection), ascii(key.name),
        value ? QStringLiteral("1") : QStringLiteral("0"));
}

qint64 Read(const NumberKey &key)
{
    const QString text = Read(TextKey { key.name }).trimmed();
    return decimal_text::parseWhole(text,
        key.least < 0 ? decimal_text::Sign::Allowed : decimal_text::Sign::None, key.least, key.most)
        .value_or(key.absent);
}

std::optional<QString> Write(const NumberKey &key, qint64 value)
{
    return Write(TextKey { key.name }, QString::number(value));
}

QString NameKey(PlayerSlot player) { return players::kName.name(player); }

QString PortKey(PlayerSlot player) { return players::kPort.name(player); }

QString ReadPlayerName(PlayerSlot player)
{
    return boundedName(ReadSetting(ascii(kApplication), ascii(kSection), NameKey(player),
        QStringLiteral("PLAYER %1").arg(player)));
}

QString TakeStoreNotice()
{
    guardStoreFiles();
    const QString notice = storeNotices().join(u'\n');
    storeNotices().clear();
    return notice;
}

std::optional<QString> WritePlayerName(PlayerSlot player, const QString &name)
{
    return WriteSetting(ascii(kApplication), ascii(kSection), NameKey(player), name);
}

qint16 ReadPlayerPort(PlayerSlot player)
{
    return PortFromText(
        ReadSetting(ascii(kApplication), ascii(kSection), PortKey(player), players::kDefaultPort));
}

std::optional<QString> WritePlayerPort(PlayerSlot player, int port)
{
    return WriteSetting(
        ascii(kApplication), ascii(kSection), PortKey(player), QString::number(port));
}

QString DeviceKey(PlayerSlot player) { return players::kDevice.name(player); }

QString ReadPlayerDevice(PlayerSlot player)
{
    const QString text =
        ReadSetting(ascii(kApplication), ascii(kSection), DeviceKey(player), QString()).trimmed();
    return bluetooth_inventory::IsAddress(text) ? text.toUpper() : QString();
}

std::optional<QString> WritePlayerDevice(PlayerSlot player, const QString &address)
{
    const QString absent = QStringLiteral("\n<absent>");
    if (address.isEmpty()
        && ReadSetting(ascii(kApplication), ascii(kSection), DeviceKey(player), absent) == absent) {
        return std::nullopt;
    }
    return WriteSetting(ascii(kApplication), ascii(kSection), DeviceKey(player), address);
}

bool ReadOpenAtStart() { return Read(links::kOpenAtStart); }

std::optional<QString> WriteOpenAtStart(bool open) { return Write(links::kOpenAtStart, open); }

qint16 PortFromText(const QString &text)
{
    return static_cast<qint16>(decimal_text::parseInt16(text).value_or(0));
}

} // namespace settings_store
