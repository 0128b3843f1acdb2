// SPDX-License-Identifier: MIT
#include "results/csv.h"
#include "results/results_store.h"

#include "csv_reader.h"
#include "game_fixtures.h"
#include "support/process_wait.h"
#include "support/pty_pair.h"
#include "support/read_only_path.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace results;

namespace
{

// Everything in a folder: names, kinds and contents, to show that nothing changed.
QStringList Snapshot(const QString &folder)
{
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        const QByteArray hash = it.fileInfo().isFile() && file.open(QIODevice::ReadOnly)
            ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex()
            : QByteArray("-");
        entries.append(path + u' ' + QString::fromLatin1(hash));
    }
    entries.sort();
    return entries;
}

mode_t KindAt(const QString &path)
{
    struct stat st = {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & S_IFMT) : 0;
}

} // namespace

// The real program, run the way a user runs it from a terminal without a display.
class tst_ExportCommand : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void exportsEveryGame_data();
    void exportsEveryGame();
    void nothingRecordedYet();
    void unwritableTarget();
    void helpDocumentsTheExport();
    void straightThroughTargets_data();
    void straightThroughTargets();
    void fullDevice();
    void refusesTheResultsFile_data();
    void refusesTheResultsFile();
    void unreadableResultsFile_data();
    void unreadableResultsFile();
    void readOnlyFolder();
    void formulaCells_data();
    void formulaCells();
    void olderFileVersions_data();
    void olderFileVersions();

private:
    struct Run {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };
    Run run(const QStringList &arguments, const QString &dataHome) const;
    QByteArray expectedCsv() const;
    QString folder() const { return m_home.filePath(QStringLiteral("Rotavex")); }

    QTemporaryDir m_home;
};

tst_ExportCommand::Run tst_ExportCommand::run(
    const QStringList &arguments, const QString &dataHome) const
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    for (const char *name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" }) {
        env.remove(QLatin1String(name));
    }
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(ROTAVEX_PATH), arguments);
    // A hang (a FIFO opened blocking, say) is a failure, not a stuck suite.
    if (!process.waitForFinished(kProcessCapMs)) {
        process.kill();
        process.waitForFinished();
    }
    return { process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
        process.readAllStandardOutput(), process.readAllStandardError() };
}

void tst_ExportCommand::initTestCase()
{
    ResultsStore store(folder());
    const QStringList names = fixtures::HostileNames();
    for (int i = 0; i < names.size(); ++i) {
        GameRecord game = i % 2 == 0
            ? fixtures::Speed(fixtures::At(1 + i, 20), { { names[i], 4000 + i }, { "Bob", 3000 } })
            : fixtures::Strength(
                fixtures::At(1 + i, 20), 60, { { names[i], 5000, 2500.5 } }, i % 3 == 0);
        store.addGame(game);
    }
}

QByteArray tst_ExportCommand::expectedCsv() const
{
    ResultsStore store(folder(), ResultsStore::Access::ReadOnly);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    WriteCsv(buffer, store);
    return buffer.data();
}

void tst_ExportCommand::exportsEveryGame_data()
{
    QTest::addColumn<bool>("toStdout");
    QTest::newRow("to standard output") << true;
    QTest::newRow("to a file") << false;
}

void tst_ExportCommand::exportsEveryGame()
{
    QFETCH(bool, toStdout);
    QTemporaryDir outDir;
    const QString file = outDir.filePath(QStringLiteral("my results.csv"));
    const QStringList before = Snapshot(folder());
    const Run result =
        run({ QStringLiteral("--export-results"), toStdout ? QStringLiteral("-") : file },
            m_home.path());
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(Snapshot(folder()), before);
    QByteArray csv = result.out;
    if (!toStdout) {
        QFile written(file);
        QVERIFY(written.open(QIODevice::ReadOnly));
        csv = written.readAll();
        QCOMPARE(
            QDir(outDir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList { QStringLiteral("my results.csv") });
    }
    QCOMPARE(csv, expectedCsv());
    const std::optional<QList<QStringList>> records = ReadCsv(QString::fromUtf8(csv));
    QVERIFY(records);
    const QStringList names = fixtures::HostileNames();
    QCOMPARE(records->size(), 1 + names.size() + (names.size() + 1) / 2);
    QStringList exported;
    for (const QStringList &row : records->mid(1)) {
        if (row[9] != QLatin1String("3000")) {
            exported.append(row[7]);
        }
    }
    QCOMPARE(exported, names);
}

void tst_ExportCommand::nothingRecordedYet()
{
    QTemporaryDir empty;
    const Run result = run({ QStringLiteral("--export-results=-") }, empty.path());
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, QByteArray(kCsvHeader) + "\r\n");
    QVERIFY(QDir(empty.path()).isEmpty());
}

void tst_ExportCommand::unwritableTarget()
{
    QTemporaryDir outDir;
    const QString target = outDir.filePath(QStringLiteral("no such folder/out.csv"));
    const Run result = run({ QStringLiteral("--export-results"), target }, m_home.path());
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.contains(target.toUtf8()), result.err.constData());
    QVERIFY2(result.err.contains("No such file or directory"), result.err.constData());
}

void tst_ExportCommand::helpDocumentsTheExport()
{
    const Run result = run({ QStringLiteral("--help") }, m_home.path());
    QCOMPARE(result.exitCode, 0);
    const QByteArray help = result.out.simplified();
    QVERIFY2(help.contains("--export-results <FILE>"), result.out.constData());
    QVERIFY(help.contains("standard output"));
    QVERIFY(help.contains("--raw"));
    QVERIFY(help.contains("Exit status"));
}

void tst_ExportCommand::straightThroughTargets_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("a FIFO with a reader") << "fifo";
    QTest::newRow("a link to a FIFO with a reader") << "link to fifo";
    QTest::newRow("a terminal device (a pseudo-terminal)") << "pty";
    QTest::newRow("a device node made here (like /dev/null)") << "node";
    QTest::newRow("/dev/stdout on a pipe") << "stdout";
}

void tst_ExportCommand::straightThroughTargets()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    QString target = dir.filePath(QStringLiteral("target"));
    QString checked = target;
    QProcess reader;
    PtyPair pty;
    if (kind.endsWith(QLatin1String("fifo"))) {
        const QString fifo = dir.filePath(QStringLiteral("fifo"));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        if (kind == QLatin1String("fifo")) {
            target = checked = fifo;
        } else {
            QVERIFY(QFile::link(fifo, target));
            checked = fifo;
        }
        reader.start(QStringLiteral("cat"), { fifo });
        QVERIFY(reader.waitForStarted());
    } else if (kind == QLatin1String("pty")) {
        QVERIFY(pty.isValid());
        target = checked = pty.slavePath();
    } else if (kind == QLatin1String("node")) {
        if (::mknod(QFile::encodeName(target).constData(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
            QSKIP("making a device node needs root");
        }
    } else {
        target = QStringLiteral("/dev/stdout");
    }
    const mode_t kindBefore = KindAt(checked);
    const Run result = run({ QStringLiteral("--export-results"), target }, m_home.path());
    QVERIFY2(result.exitCode == 0, result.err.constData());
    if (kind != QLatin1String("stdout")) {
        QCOMPARE(KindAt(checked), kindBefore);
    }
    const QByteArray expected = expectedCsv();
    if (kind.endsWith(QLatin1String("fifo"))) {
        QVERIFY(reader.waitForFinished(kProcessCapMs));
        QCOMPARE(reader.readAllStandardOutput(), expected);
        QCOMPARE(KindAt(target), kind == QLatin1String("fifo") ? S_IFIFO : S_IFLNK);
    } else if (kind == QLatin1String("pty")) {
        QByteArray seen;
        QTRY_VERIFY((seen += pty.readAvailable()).contains("mean_rpm"));
    } else if (kind == QLatin1String("stdout")) {
        QCOMPARE(result.out, expected);
    }
    if (reader.state() != QProcess::NotRunning) {
        reader.kill();
        reader.waitForFinished();
    }
}

void tst_ExportCommand::fullDevice()
{
    // As root, a private node of the same device: a program that replaced its target would
    // otherwise take the machine's /dev/full with it.
    QTemporaryDir dir;
    QString full = dir.filePath(QStringLiteral("full"));
    if (::mknod(QFile::encodeName(full).constData(), S_IFCHR | 0666, makedev(1, 7)) != 0) {
        full = QStringLiteral("/dev/full");
    }
    if (KindAt(full) != S_IFCHR) {
        QSKIP("this system has no full device");
    }
    const Run result = run({ QStringLiteral("--export-results"), full }, m_home.path());
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.contains(full.toUtf8()), result.err.constData());
    QVERIFY2(result.err.contains("No space left on device"), result.err.constData());
    QCOMPARE(KindAt(full), mode_t(S_IFCHR));
}

void tst_ExportCommand::refusesTheResultsFile_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("the file itself") << "Rotavex/results.sqlite";
    QTest::newRow("through a relative detour") << "Rotavex/../Rotavex/results.sqlite";
    QTest::newRow("through a link to the file") << "link";
    QTest::newRow("its journal, not there yet") << "Rotavex/results.sqlite-wal";
}

void tst_ExportCommand::refusesTheResultsFile()
{
    QFETCH(QString, target);
    if (target == QLatin1String("link")) {
        target = QDir(m_home.path()).filePath(QStringLiteral("link"));
        QFile::remove(target);
        QVERIFY(QFile::link(folder() + QStringLiteral("/results.sqlite"), target));
    } else {
        target = QDir(m_home.path()).filePath(target);
    }
    const QStringList before = Snapshot(folder());
    const Run result = run({ QStringLiteral("--export-results"), target }, m_home.path());
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.contains("results file itself"), result.err.constData());
    QCOMPARE(Snapshot(folder()), before);
    QCOMPARE(ResultsStore(folder(), ResultsStore::Access::ReadOnly).gameCount(),
        int(fixtures::HostileNames().size()));
}

void tst_ExportCommand::unreadableResultsFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("reason");
    QTest::newRow("text, not a database") << "text" << QByteArray("not a database");
    QTest::newRow("damaged pages") << "damaged" << QByteArray("malformed");
    QTest::newRow("another program's database") << "foreign" << QByteArray("not a Rotavex");
    QTest::newRow("a FIFO in its place") << "fifo" << QByteArray("not a regular file");
}

void tst_ExportCommand::unreadableResultsFile()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, reason);
    QTemporaryDir home;
    const QString data = home.filePath(QStringLiteral("Rotavex"));
    const QString path = data + QStringLiteral("/results.sqlite");
    QVERIFY(QDir().mkpath(data));
    if (kind == QLatin1String("text")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("game,started_at\r\n1,yesterday\r\n");
    } else if (kind == QLatin1String("damaged")) {
        {
            ResultsStore store(data);
            for (int i = 0; i < 200; ++i) {
                GameRecord game =
                    fixtures::Speed(fixtures::At(1, 20), { { QString(300, u'n'), 1000 + i } });
                store.addGame(game);
            }
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        file.seek(3 * 4096);
        file.write(QByteArray(4 * 4096, '\x5a'));
    } else if (kind == QLatin1String("foreign")) {
        const QString name = QStringLiteral("foreign");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery(db).exec(QStringLiteral("CREATE TABLE recipes (title TEXT)"));
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    } else {
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
    }
    const QStringList before = Snapshot(data);
    const Run result = run({ QStringLiteral("--export-results=-") }, home.path());
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.contains(path.toUtf8()), result.err.constData());
    QVERIFY2(result.err.contains(reason), result.err.constData());
    QCOMPARE(Snapshot(data), before);
}

void tst_ExportCommand::readOnlyFolder()
{
    QTemporaryDir home;
    const QString data = home.filePath(QStringLiteral("Rotavex"));
    {
        ResultsStore store(data);
        for (int i = 0; i < 21; ++i) {
            GameRecord game = fixtures::Speed(fixtures::At(1, 20), { { "Ann", 1000 + i } });
            store.addGame(game);
        }
    }
    const ReadOnlyPath file(data + QStringLiteral("/results.sqlite"));
    const ReadOnlyPath folder(data);
    if (!folder.isReadOnly() || !file.isReadOnly()) {
        QSKIP(qPrintable(folder.skipReason()));
    }
    const Run result = run({ QStringLiteral("--export-results=-") }, home.path());
    QVERIFY2(result.exitCode == 0, result.err.constData());
    const std::optional<QList<QStringList>> records = ReadCsv(QString::fromUtf8(result.out));
    QVERIFY(records);
    QCOMPARE(records->size(), 1 + 21);
}

void tst_ExportCommand::formulaCells_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("safe");
    QTest::newRow("a hyperlink formula") << "=HYPERLINK(\"http://x\",\"y\")"
                                         << "'=HYPERLINK(\"http://x\",\"y\")";
    QTest::newRow("an at-sign function") << "@SUM(1+1)"
                                         << "'@SUM(1+1)";
    QTest::newRow("a command through DDE") << "+cmd|' /C calc'!A0"
                                           << "'+cmd|' /C calc'!A0";
    QTest::newRow("a sum that starts with minus") << "-2+3"
                                                  << "'-2+3";
    QTest::newRow("a leading tab") << "\tname"
                                   << "'\tname";
    QTest::newRow("a leading carriage return") << "\rname"
                                               << "'\rname";
    QTest::newRow("an apostrophe of its own stays") << "'quoted"
                                                    << "'quoted";
    QTest::newRow("an equals sign later on") << "a=b"
                                             << "a=b";
}

void tst_ExportCommand::formulaCells()
{
    QFETCH(QString, name);
    QFETCH(QString, safe);
    QTemporaryDir home;
    {
        ResultsStore store(home.filePath(QStringLiteral("Rotavex")));
        GameRecord game = fixtures::Speed(fixtures::At(1, 20), { { name, 1000 } });
        store.addGame(game);
    }
    for (const bool raw : { false, true }) {
        QStringList arguments { QStringLiteral("--export-results=-") };
        if (raw) {
            arguments << QStringLiteral("--raw");
        }
        const Run result = run(arguments, home.path());
        QCOMPARE(result.exitCode, 0);
        const std::optional<QList<QStringList>> records = ReadCsv(QString::fromUtf8(result.out));
        QVERIFY(records);
        QCOMPARE(records->size(), 2);
        QCOMPARE(records->at(1).at(7), raw ? name : safe);
    }
}

void tst_ExportCommand::olderFileVersions_data()
{
    QTest::addColumn<int>("version");
    QTest::newRow("the first file version") << 1;
    QTest::newRow("the second, without the list column") << 2;
    QTest::newRow("the third, before the competitions") << 3;
}

void tst_ExportCommand::olderFileVersions()
{
    QFETCH(int, version);
    QTemporaryDir home;
    const QString data = home.filePath(QStringLiteral("Rotavex"));
    QVERIFY(QDir().mkpath(data));
    {
        // The tables as each earlier release left them, with one game.
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
        db.setDatabaseName(data + QStringLiteral("/results.sqlite"));
        QVERIFY(db.open());
        QSqlQuery query(db);
        QStringList sql { "CREATE TABLE games (id INTEGER PRIMARY KEY, started_at TEXT NOT NULL, "
                          "mode INTEGER NOT NULL, preset_s INTEGER, ticks INTEGER NOT NULL, "
                          "complete INTEGER NOT NULL)",
            "CREATE TABLE game_players (game_id INTEGER NOT NULL, player INTEGER NOT NULL, "
            "name TEXT NOT NULL, best_rpm INTEGER NOT NULL, revolutions REAL, mean_rpm INTEGER, "
            "PRIMARY KEY (game_id, player))",
            "INSERT INTO games VALUES (7, '2026-11-02T21:30:00+02:00', 2, 60, 60, 1)",
            "INSERT INTO game_players VALUES (7, 2, 'Old Timer', 6100, 3050.5, 3050)" };
        if (version >= 2) {
            sql << "ALTER TABLE games ADD COLUMN started_ms INTEGER NOT NULL DEFAULT 0"
                << "ALTER TABLE game_players ADD COLUMN port TEXT NOT NULL DEFAULT 'COM2'"
                << "ALTER TABLE game_players ADD COLUMN samples BLOB NOT NULL DEFAULT x''";
        }
        if (version >= 3) {
            sql << "ALTER TABLE game_players ADD COLUMN list INTEGER DEFAULT 60";
        }
        sql << QStringLiteral("PRAGMA user_version = %1").arg(version);
        for (const QString &statement : sql) {
            QVERIFY2(query.exec(statement), qPrintable(statement));
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("old"));
    const QStringList before = Snapshot(data);
    const Run result =
        run({ QStringLiteral("--export-results"), QStringLiteral("-") }, home.path());
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.out.contains("Old Timer,"), result.out.constData());
    QCOMPARE(Snapshot(data), before);
}

QTEST_GUILESS_MAIN(tst_ExportCommand)
#include "tst_export_command.moc"
