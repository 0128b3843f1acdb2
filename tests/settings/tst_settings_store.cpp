// SPDX-License-Identifier: MIT
#include "settings/settings_store.h"

#include "support/pty_pair.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTest>

#include <memory>

using namespace settings_store;

class tst_SettingsStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { m_store = std::make_unique<TempSettings>(); }
    void cleanup() { m_store.reset(); }

    void emptyStoreGivesDefaultsAndStaysEmpty();
    void emptyNameIsNotAbsent();
    void nameRoundTrip_data();
    void nameRoundTrip();
    void longNameCutOnLoad_data();
    void longNameCutOnLoad();
    void valuesLiveAtTheAgreedAddress();
    void storedPortText_data();
    void storedPortText();
    void portRoundTrip();
    void handEditedFile_data();
    void handEditedFile();
    void failedWriteIsReported_data();
    void failedWriteIsReported();
    void damagedFileIsKeptBeforeWriting();
    void flagsReadAsWritten_data();
    void flagsReadAsWritten();

private:
    static QString storeFile()
    {
        return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Rotavex", "Rotavex")
            .fileName();
    }

    std::unique_ptr<TempSettings> m_store;
};

void tst_SettingsStore::emptyStoreGivesDefaultsAndStaysEmpty()
{
    for (rotavex::PlayerSlot n = rotavex::kFirstPlayer; n <= rotavex::kLastPlayer; ++n) {
        QCOMPARE(ReadPlayerName(n), QStringLiteral("PLAYER %1").arg(n));
        QCOMPARE(ReadPlayerPort(n), qint16(1));
    }
    QCOMPARE(ReadSetting("Rotavex", "Properties", "CommPort1", 1), QString("1"));
    QVERIFY(!QFile::exists(storeFile()));

    WriteSetting("Rotavex", "Properties", "Name1", "Ann");
    QCOMPARE(ReadSetting("Other", "Properties", "Name1", "absent"), QString("absent"));
    QCOMPARE(ReadSetting("Rotavex", "Other", "Name1", "absent"), QString("absent"));
}

void tst_SettingsStore::emptyNameIsNotAbsent()
{
    WritePlayerName(3, QString());
    WritePlayerName(4, QStringLiteral(""));
    QCOMPARE(ReadPlayerName(3), QString(""));
    QVERIFY(!ReadPlayerName(3).isNull());
    QCOMPARE(ReadPlayerName(4), QString(""));
    QCOMPARE(ReadPlayerName(2), QStringLiteral("PLAYER 2"));
}

void tst_SettingsStore::nameRoundTrip_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("leading and trailing blanks") << QStringLiteral("  Bo  ");
    QTest::newRow("markup") << QStringLiteral("<b>Ann</b> &amp; <img src=x>");
    QTest::newRow("control characters") << QStringLiteral("a\tb\r\nc\x01\x7f");
    QTest::newRow("ini syntax") << QStringLiteral("[Properties]\nName1=x ; #c \\ \"q\"");
    QTest::newRow("comma list lookalike") << QStringLiteral("a, b, c");
    QTest::newRow("type marker lookalike") << QStringLiteral("@Invalid()");
    QTest::newRow("unicode and emoji") << QStringLiteral("Zoë Ωmega 李 🚀");
    QTest::newRow("right to left with override") << QString::fromUtf8("\u202Eשלום\u202C مرحبا");
    QTest::newRow("as long as the field takes") << QString(kMaxNameLength, QChar(u'x'));
}

void tst_SettingsStore::nameRoundTrip()
{
    QFETCH(QString, name);
    WritePlayerName(2, name);
    QCOMPARE(ReadPlayerName(2), name);
}

void tst_SettingsStore::longNameCutOnLoad_data()
{
    const QString emoji = QStringLiteral("🚀");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("loaded");
    QTest::newRow("one past the field's limit")
        << QString(kMaxNameLength + 1, QChar(u'x')) << QString(kMaxNameLength, QChar(u'x'));
    QTest::newRow("a million characters")
        << QString(1000000, QChar(u'm')) << QString(kMaxNameLength, QChar(u'm'));
    // The limit falls between the two halves of an emoji: the whole emoji goes.
    QTest::newRow("cut never splits a character") << QString(kMaxNameLength - 1, QChar(u'a'))
            + emoji << QString(kMaxNameLength - 1, QChar(u'a'));
}

void tst_SettingsStore::longNameCutOnLoad()
{
    QFETCH(QString, stored);
    QFETCH(QString, loaded);
    WritePlayerName(3, stored);
    QCOMPARE(ReadPlayerName(3), loaded);
}

void tst_SettingsStore::valuesLiveAtTheAgreedAddress()
{
    WritePlayerName(1, QStringLiteral("Ann"));
    WritePlayerPort(4, 12);
    QSettings raw(QSettings::NativeFormat, QSettings::UserScope, "Rotavex", "Rotavex");
    QVERIFY(raw.fileName().startsWith(m_store->path()));
    QCOMPARE(raw.value("Properties/Name1"), QVariant(QStringLiteral("Ann")));
    QCOMPARE(raw.value("Properties/CommPort4"), QVariant(QStringLiteral("12")));
    QCOMPARE(raw.allKeys().size(), 2);
}

void tst_SettingsStore::storedPortText_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("port");
    QTest::newRow("last port") << "16" << 16;
    QTest::newRow("no selection") << "0" << 0;
    QTest::newRow("beyond the list") << "17" << 17;
    QTest::newRow("negative") << "-3" << -3;
    QTest::newRow("explicit plus, leading zeros") << "+007" << 7;
    QTest::newRow("16-bit minimum") << "-32768" << -32768;
    QTest::newRow("just above 16 bits") << "32768" << 0;
    QTest::newRow("far beyond 16 bits") << "99999" << 0;
    QTest::newRow("beyond 64 bits") << "123456789012345678901234567890" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("letters") << "abc" << 0;
    QTest::newRow("leading blank") << " 5" << 0;
    QTest::newRow("sign alone") << "-" << 0;
    QTest::newRow("fraction") << "1.0" << 0;
    QTest::newRow("arabic-indic digit") << QString::fromUtf8("\u0663") << 0;
}

void tst_SettingsStore::storedPortText()
{
    QFETCH(QString, stored);
    QFETCH(int, port);
    QCOMPARE(PortFromText(stored), qint16(port));
    WriteSetting("Rotavex", "Properties", PortKey(3), stored);
    QCOMPARE(ReadPlayerPort(3), qint16(port));
}

void tst_SettingsStore::portRoundTrip()
{
    for (int port = 0; port <= 16; ++port) {
        WritePlayerPort(2, port);
        QCOMPARE(ReadSetting("Rotavex", "Properties", "CommPort2", 1), QString::number(port));
        QCOMPARE(ReadPlayerPort(2), qint16(port));
    }
}

void tst_SettingsStore::handEditedFile_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("name1");
    QTest::addColumn<int>("port1");
    QTest::newRow("unquoted comma list")
        << QByteArray("[Properties]\nName1=a, b\nCommPort1=2, 3\n") << "a, b" << 0;
    QTest::newRow("foreign value types")
        << QByteArray("[Properties]\nName1=@Rect(1 2 3 4)\nCommPort1=@Variant(\\0\\0)\n") << ""
        << 0;
    QTest::newRow("byte array values")
        << QByteArray("[Properties]\nName1=@ByteArray(Bo)\nCommPort1=@ByteArray(9)\n") << "Bo" << 9;
    QTest::newRow("binary garbage around a section")
        << QByteArray("\x01\xff[[[\n=\n[Properties\nName1=Ann\n") << "Ann" << 1;
    QTest::newRow("key is a group")
        << QByteArray("[Properties]\nName1\\sub=x\nCommPort1\\a=4\n") << "PLAYER 1" << 1;
}

// A damaged or hand-edited store must never crash the reader; what comes back is the best
// reading of the text, and ports that are not plain numbers mean "no selection".
void tst_SettingsStore::handEditedFile()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, name1);
    QFETCH(int, port1);
    QVERIFY(QDir().mkpath(QFileInfo(storeFile()).absolutePath()));
    QFile file(storeFile());
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(contents), contents.size());
    file.close();
    QCOMPARE(ReadPlayerName(1), name1);
    QCOMPARE(ReadPlayerPort(1), qint16(port1));
    QCOMPARE(ReadPlayerName(2), QStringLiteral("PLAYER 2"));
}

void tst_SettingsStore::failedWriteIsReported_data()
{
    QTest::addColumn<QString>("blocker"); // "file" or "folder": what is made in the way
    QTest::addColumn<QString>("reason");
    QTest::newRow("settings file replaced by a folder") << "file"
                                                        << "a folder of that name";
    QTest::newRow("settings folder replaced by a file") << "folder"
                                                        << "is a file, not a folder";
    QTest::newRow("read-only folder") << "read-only"
                                      << "its folder is read-only";
}

void tst_SettingsStore::failedWriteIsReported()
{
    QFETCH(QString, blocker);
    QFETCH(QString, reason);
    const QString file = storeFile();
    const QString folder = QFileInfo(file).absolutePath();
    if (blocker == QLatin1String("file")) {
        QVERIFY(QDir().mkpath(file));
    } else if (blocker == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(QFileInfo(folder).absolutePath()));
        QFile stray(folder);
        QVERIFY(stray.open(QIODevice::WriteOnly));
    } else {
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        if (QFileInfo(folder).isWritable()) {
            QSKIP("this user writes to read-only folders (root)");
        }
    }
    const std::optional<QString> message = WritePlayerName(1, QStringLiteral("Ann"));
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(message);
    QVERIFY2(message->contains(QDir::toNativeSeparators(file)), qPrintable(*message));
    QVERIFY2(message->contains(reason), qPrintable(*message));
    QCOMPARE(ReadPlayerName(1), QStringLiteral("PLAYER 1"));
}

// Junk in the middle of the file used to cost the keys after it at the next save.
void tst_SettingsStore::damagedFileIsKeptBeforeWriting()
{
    const QString file = storeFile();
    QVERIFY(QDir().mkpath(QFileInfo(file).absolutePath()));
    const QByteArray damaged = QByteArray("[Properties]\nName1=Ann\nCommPort1=3\n")
        + QByteArray("[\x01\xff\xfe\x00junk\n", 10) + "Name2=Bo\nName3=Cy\n";
    {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(damaged);
    }
    QCOMPARE(ReadPlayerName(1), QStringLiteral("Ann"));
    QCOMPARE(ReadPlayerPort(1), qint16(3));

    const QDateTime now(QDate(2026, 12, 8), QTime(1, 30, 5));
    const std::optional<QString> message = KeepUnreadableCopy(now);
    QVERIFY(message);
    const QString copy = file + QStringLiteral(".unreadable-20261208-013005");
    QVERIFY2(message->contains(QDir::toNativeSeparators(file)), qPrintable(*message));
    QVERIFY2(message->contains(QDir::toNativeSeparators(copy)), qPrintable(*message));
    QFile kept(copy);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), damaged);
    // Said once: the same file is not copied again in this run.
    QCOMPARE(KeepUnreadableCopy(now.addSecs(60)), std::nullopt);

    QCOMPARE(WritePlayerName(4, QStringLiteral("Di")), std::nullopt);
    QCOMPARE(ReadPlayerName(1), QStringLiteral("Ann"));
    QCOMPARE(ReadPlayerName(4), QStringLiteral("Di"));
}

void tst_SettingsStore::flagsReadAsWritten_data()
{
    QTest::addColumn<QString>("stored"); // null: no such key
    QTest::addColumn<int>("expected"); // 1 yes, 0 no, -1 the key's safe side, -2 its first choice
    const QList<std::pair<QStringList, int>> table {
        { { "1", "true", "TRUE", "Yes", "on", "On", "  yes  ", "1\n" }, 1 },
        { { "0", "false", "False", "NO", "off", "OFF", "false\t" }, 0 },
        { { "", "   ", "2", "-1", "01", "y", "enabled", "yes please", "true.", "yes, no",
              QStringLiteral("\uFF59\uFF45\uFF53") },
            -1 },
        { { QString() }, -2 }
    };
    const std::array<const char *, 4> kinds { "missing key", "neither", "no", "yes" };
    for (const auto &[texts, expected] : table) {
        for (const QString &text : texts) {
            const QString shown = QString(text).replace(u'\n', "\\n").replace(u'\t', "\\t");
            QTest::addRow(
                "%s %s", kinds[expected + 2], text.isNull() ? "" : qPrintable(u'"' + shown + u'"'))
                << text << expected;
        }
    }
}

// Every yes-or-no key reads as a person writes it; what is neither keeps the key's safe side
// (nothing stored, its first choice). The web page's reach is the key whose two differ.
void tst_SettingsStore::flagsReadAsWritten()
{
    QFETCH(QString, stored);
    QFETCH(int, expected);
    for (const FlagKey &key :
        { links::kOpenAtStart, display::kFullScreen, web_page::kOn, web_page::kAllInterfaces }) {
        QSettings(QSettings::NativeFormat, QSettings::UserScope, "Rotavex", "Rotavex")
            .remove(QStringLiteral("Properties/") + QLatin1String(key.name));
        QVERIFY(stored.isNull() || !WriteSetting("Rotavex", "Properties", key.name, stored));
        const bool want = expected < 0 ? (expected == -2 ? key.absent : key.unreadable) : expected;
        QVERIFY2(Read(key) == want, key.name);
    }
    QCOMPARE(Read(web_page::kAllInterfaces), expected >= 0 ? expected == 1 : expected == -2);
    QCOMPARE(TakeStoreNotice().count("WebAllInterfaces"), expected == -1 ? 1 : 0);
    QCOMPARE(TakeStoreNotice(), QString()); // said once
}

QTEST_GUILESS_MAIN(tst_SettingsStore)
#include "tst_settings_store.moc"
