// SPDX-License-Identifier: MIT
#pragma once

#include "shared/player_tables.h"
#include "support/process_stats.h"
#include "support/pty_pair.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

class frmMain;
class QTimer;

namespace reliability
{

using process_stats::cpuSeconds;
using process_stats::statusKib;
/// Open file descriptors of the process.
int openFdCount();

/// An integer knob from the environment, `fallback` when unset or not a number; lets the soak
/// run the same tests longer.
int envInt(const char *name, int fallback);

/// A hostile stream for one player: mostly steady frames, with spikes (in-window frames of a
/// very different speed), out-of-window frames and runs of garbage that never contain a frame
/// start, so every frame the decoder can complete is one written on purpose.
struct FloodPattern {
    QByteArray bytes;
    /// Every rpm a frame of this stream decodes to (the decoder's 0 for count 0 included).
    QSet<qint32> decodable;
    bool operator==(const FloodPattern &) const = default;
};
FloodPattern floodPattern(rotavex::PlayerSlot player, quint32 seed);

/// Writes endless streams to the masters of pseudo-terminal links from its own thread, as
/// fast as each link takes them, waiting for room with poll() rather than spinning.
class FloodWriter
{
public:
    struct Stream {
        int fd;
        QByteArray pattern;
    };
    explicit FloodWriter(std::vector<Stream> streams);
    ~FloodWriter();
    FloodWriter(const FloodWriter &) = delete;
    FloodWriter &operator=(const FloodWriter &) = delete;

    /// Stops and joins the thread; the descriptors are left open.
    void stop();
    qint64 bytesWritten() const { return m_bytes.load(); }

private:
    void run();

    std::vector<Stream> m_streams;
    std::atomic<bool> m_stop { false };
    std::atomic<qint64> m_bytes { 0 };
    std::thread m_thread;
};

/// Writes frames at each device's own pace (one per revolution, at most what 9600 baud
/// carries) from its own thread; the speed of player p follows `rpmAt(p, seconds)`.
class PacedWriter
{
public:
    using SpeedFunction = qint32 (*)(rotavex::PlayerSlot player, double seconds);
    PacedWriter(std::vector<int> fds, SpeedFunction rpmAt);
    ~PacedWriter();
    PacedWriter(const PacedWriter &) = delete;
    PacedWriter &operator=(const PacedWriter &) = delete;
    void stop();
    qint64 framesWritten() const { return m_frames.load(); }

private:
    void run();

    std::vector<int> m_fds;
    SpeedFunction m_rpmAt;
    std::atomic<bool> m_stop { false };
    std::atomic<qint64> m_frames { 0 };
    std::thread m_thread;
};

/// The main window shown in private runtime and settings folders, with up to four devices
/// exposed as COM1..COM4 and opened through the window's links, as the setup dialog opens them.
class GameRig
{
public:
    GameRig();
    ~GameRig();

    frmMain &window() { return *m_window; }
    QTimer *refreshTimer() const;
    PtyPair &device(rotavex::PlayerSlot player) { return *m_devices[player]; }

    /// A fresh device at COM<player> (the previous one, if any, goes away first).
    bool plugDevice(rotavex::PlayerSlot player);
    /// Opens player's link on COM<player>. Returns the open failure, if any.
    std::optional<QString> openLink(rotavex::PlayerSlot player);
    /// Selects the mode (0 Speed, 1 Strength) and presses Start.
    void startGame(int mode);

    /// The number N shown by a caption of the form "N rpm" / " N rpm" (after trimming);
    /// nullopt for any other form.
    static std::optional<qint32> rpmInCaption(const QString &caption);
    QString speedCaption(rotavex::PlayerSlot player) const;
    QString recordCaption(rotavex::PlayerSlot player) const;
    double barValue(rotavex::PlayerSlot player) const;
    double bigDisplayValue() const;

private:
    std::unique_ptr<TempSettings> m_settings;
    std::unique_ptr<TempRuntimeDir> m_runtime;
    std::unique_ptr<frmMain> m_window;
    rotavex::PerPlayer<std::unique_ptr<PtyPair>> m_devices;
};

} // namespace reliability
