// SPDX-License-Identifier: MIT
#include "support/private_bus.h"
#include "support/process_wait.h"

#include <QElapsedTimer>

#include <csignal>
#include <sys/types.h>

namespace
{

constexpr int kStartTimeoutMs = kProcessCapMs;

// Reads one line from `process`, waiting at most kStartTimeoutMs; empty on failure.
QByteArray readLine(QProcess &process)
{
    QElapsedTimer clock;
    clock.start();
    while (!process.canReadLine()) {
        if (clock.elapsed() > kStartTimeoutMs || process.state() == QProcess::NotRunning
            || !process.waitForReadyRead(kStartTimeoutMs)) {
            if (!process.canReadLine()) {
                return {};
            }
        }
    }
    return process.readLine().trimmed();
}

} // namespace

PrivateBus::PrivateBus()
{
    QProcess daemon;
    daemon.start(QStringLiteral("dbus-daemon"),
        { QStringLiteral("--session"), QStringLiteral("--fork"), QStringLiteral("--nopidfile"),
            QStringLiteral("--print-address=1"), QStringLiteral("--print-pid=1") });
    if (!daemon.waitForFinished(kStartTimeoutMs) || daemon.exitCode() != 0) {
        return;
    }
    const QList<QByteArray> lines = daemon.readAllStandardOutput().trimmed().split('\n');
    if (lines.size() < 2) {
        return;
    }
    m_address = QString::fromUtf8(lines.at(0).trimmed());
    m_pid = lines.at(1).trimmed().toLongLong();
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_address.toUtf8());
}

PrivateBus::~PrivateBus()
{
    if (m_pid > 0) {
        ::kill(pid_t(m_pid), SIGTERM);
    }
}

FakeBluezProcess::FakeBluezProcess(const QStringList &arguments)
    : m_process(std::make_unique<QProcess>())
{
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process->start(program(), arguments);
    m_ready = m_process->waitForStarted(kStartTimeoutMs) && readLine(*m_process) == "ready";
}

FakeBluezProcess::~FakeBluezProcess() { stop(); }

bool FakeBluezProcess::command(const QString &line)
{
    if (m_process->state() != QProcess::Running) {
        return false;
    }
    m_process->write(line.toUtf8() + '\n');
    return readLine(*m_process) == "ok";
}

void FakeBluezProcess::stop()
{
    if (m_process->state() == QProcess::NotRunning) {
        return;
    }
    m_process->closeWriteChannel();
    if (!m_process->waitForFinished(kStartTimeoutMs)) {
        m_process->kill();
        m_process->waitForFinished();
    }
}

QString FakeBluezProcess::program() { return QStringLiteral(ROTAVEX_FAKEBLUEZ); }

QString FakeBluezProcess::address(int number)
{
    return QStringLiteral("00:11:22:33:44:%1").arg(number, 2, 16, QLatin1Char('0')).toUpper();
}
