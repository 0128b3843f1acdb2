// SPDX-License-Identifier: MIT
#include "results/csv.h"
#include "results/results_store.h"

#include "csv_reader.h"
#include "game_fixtures.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace results;

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

private:
    struct Run {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };
    Run run(const QStringList &arguments, const QString &dataHome) const;
    QByteArray expectedCsv() const;

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
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
    }
    return { process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
        process.readAllStandardOutput(), process.readAllStandardError() };
}

void tst_ExportCommand::initTestCase()
{
    ResultsStore store(m_home.filePath(QStringLiteral("Rotavex")));
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
    ResultsStore store(m_home.filePath(QStringLiteral("Rotavex")));
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
    const Run result =
        run({ QStringLiteral("--export-results"), toStdout ? QStringLiteral("-") : file },
            m_home.path());
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.err, QByteArray());
    QByteArray csv = result.out;
    if (!toStdout) {
        QFile written(file);
        QVERIFY(written.open(QIODevice::ReadOnly));
        csv = written.readAll();
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
}

void tst_ExportCommand::helpDocumentsTheExport()
{
    const Run result = run({ QStringLiteral("--help") }, m_home.path());
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.out.contains("--export-results <FILE>"), result.out.constData());
    QVERIFY(result.out.contains("standard output"));
}

QTEST_GUILESS_MAIN(tst_ExportCommand)
#include "tst_export_command.moc"
