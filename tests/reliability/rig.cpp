// SPDX-License-Identifier: MIT
#include "rig.h"

#include "link/comm.h"
#include "link/player_links.h"
#include "main_window/frm_main.h"
#include "main_window/led_display.h"
#include "main_window/speed_bar.h"
#include "widgets/tag_label.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

namespace reliability
{

using rotavex::PlayerSlot;

int openFdCount()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

int envInt(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok ? value : fallback;
}

namespace
{

    quint32 nextRandom(quint32 &seed)
    {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    }

    // Steady counts per player, none with a "<" byte inside (that would restart the frame):
    // 6000, 9003, 12000 and 18028 rpm.
    constexpr int kSteadyCount[] = { 1250, 833, 625, 416 };
    // In-window spikes far from every steady speed: 1071 and 19736 rpm.
    constexpr int kSpikeCounts[] = { 7000, 380 };
    // Frames the decoder completes but rejects (outside 3000..60000 µs).
    constexpr int kOutOfWindowCounts[] = { 100, 9000, 65535 };

} // namespace

FloodPattern floodPattern(PlayerSlot player, quint32 seed)
{
    constexpr qsizetype kBytes = 16 * 1024;
    FloodPattern pattern;
    const int steady = kSteadyCount[player - rotavex::kFirstPlayer];
    pattern.decodable = { comm::CountToRpm(steady), comm::CountToRpm(kSpikeCounts[0]),
        comm::CountToRpm(kSpikeCounts[1]), 0 };
    pattern.bytes.reserve(kBytes + 16);
    while (pattern.bytes.size() < kBytes) {
        const quint32 pick = nextRandom(seed) % 100;
        if (pick < 70) {
            pattern.bytes += comm::encodeFrame(steady);
        } else if (pick < 80) {
            pattern.bytes += comm::encodeFrame(kSpikeCounts[pick % 2]);
        } else if (pick < 88) {
            pattern.bytes += comm::encodeFrame(kOutOfWindowCounts[pick % 3]);
        } else if (pick < 89) {
            pattern.bytes += comm::encodeFrame(0);
        } else {
            const int length = 1 + int(nextRandom(seed) % 12);
            for (int i = 0; i < length; ++i) {
                char byte = char(nextRandom(seed));
                if (byte == '<') {
                    byte = '>';
                }
                pattern.bytes += byte;
            }
        }
    }
    return pattern;
}

FloodWriter::FloodWriter(std::vector<Stream> streams)
    : m_streams(std::move(streams))
    , m_thread([this] { run(); })
{
}

FloodWriter::~FloodWriter() { stop(); }

void FloodWriter::stop()
{
    m_stop = true;
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void FloodWriter::run()
{
    std::vector<qsizetype> offsets(m_streams.size(), 0);
    // Writes of every size from 1 byte up, so reads end anywhere inside a frame.
    quint32 seed = 99;
    std::vector<pollfd> fds;
    for (const Stream &stream : m_streams) {
        fds.push_back({ stream.fd, POLLOUT, 0 });
    }
    while (!m_stop) {
        if (::poll(fds.data(), fds.size(), 20) <= 0) {
            continue;
        }
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & POLLOUT)) {
                continue;
            }
            const QByteArray &pattern = m_streams[i].pattern;
            const qsizetype chunk =
                std::min<qsizetype>(1 + nextRandom(seed) % 4096, pattern.size() - offsets[i]);
            const ssize_t n = ::write(fds[i].fd, pattern.constData() + offsets[i], size_t(chunk));
            if (n > 0) {
                offsets[i] = (offsets[i] + n) % pattern.size();
                m_bytes += n;
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                fds[i].fd = -1; // the device is gone; poll() skips negative descriptors
            }
        }
    }
}

PacedWriter::PacedWriter(std::vector<int> fds, SpeedFunction rpmAt)
    : m_fds(std::move(fds))
    , m_rpmAt(rpmAt)
    , m_thread([this] { run(); })
{
}

PacedWriter::~PacedWriter() { stop(); }

void PacedWriter::stop()
{
    m_stop = true;
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void PacedWriter::run()
{
    using Clock = std::chrono::steady_clock;
    // 9600 baud carries 960 bytes, so 240 frames, a second.
    constexpr double kMaxFramesPerSecond = 240.0;
    const Clock::time_point start = Clock::now();
    Clock::time_point last = start;
    std::vector<double> credit(m_fds.size(), 0.0);
    while (!m_stop) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const Clock::time_point now = Clock::now();
        const double seconds = std::chrono::duration<double>(now - start).count();
        const double elapsed = std::chrono::duration<double>(now - last).count();
        last = now;
        for (std::size_t i = 0; i < m_fds.size(); ++i) {
            const qint32 rpm = m_rpmAt(PlayerSlot(i + 1), seconds);
            if (rpm <= 0) {
                credit[i] = 0;
                continue;
            }
            credit[i] += elapsed * std::min(kMaxFramesPerSecond, rpm / 60.0);
            const QByteArray frame = comm::encodeFrame(std::clamp(7'500'000 / rpm, 1, 65535));
            for (; credit[i] >= 1.0; credit[i] -= 1.0) {
                if (::write(m_fds[i], frame.constData(), size_t(frame.size())) == frame.size()) {
                    ++m_frames;
                }
            }
        }
    }
}

GameRig::GameRig()
    : m_settings(std::make_unique<TempSettings>())
    , m_runtime(std::make_unique<TempRuntimeDir>())
    , m_window(std::make_unique<frmMain>())
{
    m_window->show();
    if (!QTest::qWaitForWindowExposed(m_window.get())) {
        qWarning("the main window was not exposed");
    }
}

GameRig::~GameRig()
{
    // The window closes its links before the devices behind them go.
    m_window.reset();
}

QTimer *GameRig::refreshTimer() const
{
    return m_window->findChild<QTimer *>(QStringLiteral("tmrRefresh"));
}

bool GameRig::plugDevice(PlayerSlot player)
{
    m_devices[player].reset();
    m_devices[player] = std::make_unique<PtyPair>();
    return m_devices[player]->isValid()
        && m_devices[player]->exposeAs(m_runtime->portDir(), player);
}

std::optional<QString> GameRig::openLink(PlayerSlot player)
{
    return m_window->links().open(player, player);
}

void GameRig::startGame(int mode)
{
    m_window->findChild<QRadioButton *>(QStringLiteral("OptMode%1").arg(mode))->click();
    m_window->findChild<QPushButton *>(QStringLiteral("CmdStart"))->click();
}

std::optional<qint32> GameRig::rpmInCaption(const QString &caption)
{
    const QString trimmed = caption.trimmed();
    if (!trimmed.endsWith(QStringLiteral(" rpm"))) {
        return std::nullopt;
    }
    bool ok = false;
    const qint32 rpm = trimmed.chopped(4).toInt(&ok);
    return ok && QString::number(rpm) == trimmed.chopped(4) ? std::optional(rpm) : std::nullopt;
}

QString GameRig::speedCaption(PlayerSlot player) const
{
    return m_window->findChild<QLabel *>(QStringLiteral("lblRPM%1").arg(player))->text();
}

QString GameRig::recordCaption(PlayerSlot player) const
{
    return m_window->findChild<QLabel *>(QStringLiteral("lblHI%1").arg(player))->text();
}

double GameRig::barValue(PlayerSlot player) const
{
    return m_window->findChild<main_window::SpeedBar *>(QStringLiteral("pbar%1").arg(player))
        ->value();
}

double GameRig::bigDisplayValue() const
{
    return m_window->findChild<main_window::LedDisplay *>(QStringLiteral("CurSpeed"))->number();
}

} // namespace reliability
