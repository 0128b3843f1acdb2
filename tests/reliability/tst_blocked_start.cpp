// SPDX-License-Identifier: MIT
// The real program with a FIFO, a socket or a device where its results file and its settings
// file should be: start-up goes on (the FIFO is never opened, only moved aside), and a stop
// signal ends it as Quit does. A start-up that blocks fails here after a timeout; it never hangs
// the suite.
#include "support/process_wait.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>

class tst_BlockedStart : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void strangeFilesNeverBlock_data();
    void strangeFilesNeverBlock();
};

void tst_BlockedStart::strangeFilesNeverBlock_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("signal");
    QTest::newRow("FIFOs, then SIGTERM") << "fifo" << SIGTERM;
    QTest::newRow("links to a device, then SIGHUP") << "device" << SIGHUP;
}

void tst_BlockedStart::strangeFilesNeverBlock()
{
    QFETCH(QString, kind);
    QFETCH(int, signal);
    QTemporaryDir home;
    const QString data = home.filePath(QStringLiteral("data/Rotavex"));
    const QString config = home.filePath(QStringLiteral("config/Rotavex"));
    QVERIFY(QDir().mkpath(data));
    QVERIFY(QDir().mkpath(config));
    for (const QString &path :
        { data + QStringLiteral("/results.sqlite"), config + QStringLiteral("/Rotavex.conf") }) {
        if (kind == QLatin1String("fifo")) {
            QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        } else {
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
        }
    }

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(ROTAVEX_PATH), {});
    QVERIFY(program.waitForStarted());
    const auto movedAside = [](const QString &folder, const QString &name) {
        return QDir(folder)
                   .entryList(
                       { name + QStringLiteral(".unreadable-*") }, QDir::AllEntries | QDir::System)
                   .size()
            == 1;
    };
    QTRY_VERIFY_WITH_TIMEOUT(movedAside(data, QStringLiteral("results.sqlite"))
            && movedAside(config, QStringLiteral("Rotavex.conf"))
            && QFileInfo(data + QStringLiteral("/results.sqlite")).isFile(),
        20000);
    // Past its start-up: the stop signal must end it normally, not kill it.
    QVERIFY(::kill(pid_t(program.processId()), signal) == 0);
    if (!program.waitForFinished(kProcessCapMs)) {
        program.kill();
        program.waitForFinished();
        QFAIL("the program did not end on the signal");
    }
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
}

QTEST_GUILESS_MAIN(tst_BlockedStart)
#include "tst_blocked_start.moc"
