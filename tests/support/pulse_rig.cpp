// SPDX-License-Identifier: MIT
#include "support/pulse_rig.h"

#include "support/process_wait.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <csignal>

PulseRig::PulseRig()
    : m_previousServer(qgetenv("PULSE_SERVER"))
{
    m_clock.start();
    m_socket = m_dir.filePath(QStringLiteral("native"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
    env.insert(QStringLiteral("PULSE_RUNTIME_PATH"), m_dir.filePath(QStringLiteral("runtime")));
    env.insert(QStringLiteral("PULSE_STATE_PATH"), m_dir.filePath(QStringLiteral("state")));
    env.insert(QStringLiteral("HOME"), m_dir.path());
    env.remove(QStringLiteral("PULSE_SERVER"));
    m_daemon.setProcessEnvironment(env);
    m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_parec.setProcessEnvironment(env);
    // As root the daemon warns that it should run as a system service, and runs.
    m_daemon.start(QStringLiteral("pulseaudio"),
        { QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
            QStringLiteral("-n"), QStringLiteral("--use-pid-file=no"),
            QStringLiteral("--log-level=error"), QStringLiteral("--disable-shm=yes"),
            QStringLiteral("--load=module-null-sink sink_name=rotavex"),
            QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=")
                + m_socket });
    if (!m_daemon.waitForStarted(kProcessCapMs)) {
        m_error = QStringLiteral("pulseaudio does not start: ") + m_daemon.errorString();
        return;
    }
    const QDeadlineTimer cap(kProcessCapMs);
    while (!QFileInfo::exists(m_socket)) {
        if (m_daemon.state() != QProcess::Running || cap.hasExpired()) {
            m_error = QStringLiteral("pulseaudio ended before it listened");
            return;
        }
        QThread::msleep(10);
    }
    qputenv("PULSE_SERVER", server().toUtf8());
}

PulseRig::~PulseRig()
{
    m_poll.stop();
    m_parec.kill();
    m_parec.waitForFinished(kProcessCapMs);
    freeze(false);
    m_daemon.kill();
    m_daemon.waitForFinished(kProcessCapMs);
    if (m_previousServer.isEmpty()) {
        qunsetenv("PULSE_SERVER");
    } else {
        qputenv("PULSE_SERVER", m_previousServer);
    }
}

bool PulseRig::record(int rate)
{
    m_rate = rate;
    // parec writes to a file, never a pipe: a test thread held up for a moment must not make it
    // block, and the server drop what it could not hand over.
    m_file.setFileName(m_dir.filePath(QStringLiteral("monitor.raw")));
    m_parec.start(QStringLiteral("parec"),
        { QStringLiteral("--server=") + server(), QStringLiteral("--device=rotavex.monitor"),
            QStringLiteral("--raw"), QStringLiteral("--format=s16le"),
            QStringLiteral("--rate=%1").arg(rate), QStringLiteral("--channels=1"),
            QStringLiteral("--latency-msec=10"), m_file.fileName() });
    QObject::connect(&m_poll, &QTimer::timeout, [this] {
        if (!m_file.isOpen() && !m_file.open(QIODevice::ReadOnly)) {
            return;
        }
        m_recorded += m_file.readAll();
        if (m_recorded.isEmpty()) {
            return;
        }
        // What the file holds now was played at the latest now: the earliest such bound is
        // the recording's start.
        const qint64 start = m_clock.elapsed() - samples() * 1000 / m_rate;
        m_originMs = m_originMs < 0 ? start : std::min(m_originMs, start);
    });
    m_poll.start(5);
    return m_parec.waitForStarted(kProcessCapMs);
}

void PulseRig::kill()
{
    m_daemon.kill();
    m_daemon.waitForFinished(kProcessCapMs);
}

void PulseRig::freeze(bool frozen)
{
    if (m_daemon.state() == QProcess::Running) {
        ::kill(pid_t(m_daemon.processId()), frozen ? SIGSTOP : SIGCONT);
    }
}

QList<HeardTone> FindTones(const QByteArray &pcm, int rate, double threshold, int gapMs)
{
    const auto *samples = reinterpret_cast<const qint16 *>(pcm.constData());
    const qsizetype count = pcm.size() / 2;
    const int window = rate / 1000; // 1 ms
    const int gapWindows = gapMs;
    QList<HeardTone> tones;
    qsizetype onset = -1;
    qsizetype lastLoud = -1;
    qsizetype crossings = 0;
    const auto close = [&] {
        const double length = double(lastLoud + window - onset);
        tones.append(
            { 1000.0 * onset / rate, 1000.0 * length / rate, crossings * rate / 2.0 / length });
        onset = -1;
    };
    for (qsizetype w = 0; w + window <= count; w += window) {
        double energy = 0;
        for (int i = 0; i < window; ++i) {
            energy += double(samples[w + i]) * samples[w + i];
        }
        const bool loud = std::sqrt(energy / window) / 32768.0 > threshold;
        if (loud) {
            if (onset < 0) {
                onset = w;
                crossings = 0;
            }
            lastLoud = w;
        } else if (onset >= 0 && (w - lastLoud) / window > gapWindows) {
            close();
        }
        if (onset >= 0) {
            for (int i = 1; i < window; ++i) {
                crossings += (samples[w + i - 1] < 0) != (samples[w + i] < 0);
            }
        }
    }
    if (onset >= 0) {
        close();
    }
    return tones;
}
