// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <chrono>
#include <optional>
#include <vector>

// What the simulated devices send, as plain functions of time and frame number, so that the
// tool and its tests share one definition and no timer or port is needed to check it.
namespace devsim
{

/// Counts of 8 µs in one minute: a frame's count is this divided by the rpm.
inline constexpr double kCountsPerMinute = 7'500'000.0;

/// The most frames a 9600 baud 8N1 link carries per second (960 bytes/s, 4 bytes a frame).
inline constexpr double kMaxFramesPerSecond = 240.0;

/// Virtual ports are numbered COM1..COM16, as the program's port lists are.
inline constexpr int kFirstPortNumber = 1;
inline constexpr int kLastPortNumber = 16;

/// The lowest whole rpm whose count still fits 16 bits (65217 counts).
inline constexpr qint32 kMinEncodableRpm = 115;

/// The frame count for `rpm`: round(7,500,000 / rpm). std::nullopt when nothing can be sent:
/// rpm not above 0, or a count outside 1..65535 (below about 114.4 rpm).
std::optional<quint16> countForRpm(double rpm);

/// Frames per second a device turning at `rpm` sends: one per revolution, at most
/// kMaxFramesPerSecond; 0 when countForRpm() gives nothing (a silent device).
double framesPerSecond(double rpm);

/// Input bytes that may wait unread on a link before they count as stale and are dropped:
/// half a second of frames at `framesPerSecond`, but never fewer than four frames.
qsizetype staleInputLimitBytes(double framesPerSecond);

/// Turns a frame rate into whole frames as time passes. The fraction carries over between
/// calls, so the average rate holds whatever the timer's jitter.
class FramePacer
{
public:
    /// Time beyond this in one step (a stopped or starved process) is not made up for.
    static constexpr std::chrono::milliseconds kMaxCatchUp { 100 };

    /// Frames due after `elapsed` at `framesPerSecond`. A rate of 0 (silence) also discards
    /// the carried fraction, so a device that comes back starts afresh.
    int advance(std::chrono::nanoseconds elapsed, double framesPerSecond);

private:
    double m_credit = 0.0;
};

enum class ProfileKind { Demo, Steady, Noisy };

/// The profile named `name` ("demo", "steady", "noisy"); std::nullopt for any other name.
std::optional<ProfileKind> profileFromName(QStringView name);
QString profileName(ProfileKind kind);

/// Parses a comma-separated list of whole rpm values, each 0 (silent) or 115..7,500,000.
/// std::nullopt when the list is empty or any value is malformed or out of range.
std::optional<std::vector<qint32>> parseRpmList(QStringView text);

/// Speeds the steady and noisy profiles use when no list is given, players 1, 2, 3, 4.
std::vector<qint32> defaultRpmList();

/// A simulation: the profile and, for steady and noisy, the base speed of each player.
struct Profile {
    ProfileKind kind = ProfileKind::Demo;
    /// Base rpm of players 1, 2, ...; players beyond the list take its last value.
    std::vector<qint32> rpm = defaultRpmList();
};

/// Length of one round of the demo; the demo repeats itself after it.
inline constexpr std::chrono::milliseconds kDemoCycle { 60'000 };

/// The speed of `player` (1-based) at `elapsed` since the simulation started; 0 = silent.
/// Demo: players spin up one after another, vary smoothly, player 4 stops for a few seconds
/// mid-round and spins up again, all spin down at the end of the round; never changing by more
/// than the display's filter follows from one second to the next. Steady and noisy: the base.
double rpmAt(const Profile &profile, int player, std::chrono::milliseconds elapsed);

/// The bytes `player`'s device sends as its `frameIndex`-th frame (0-based) at `rpm`:
/// one frame, or nothing when `rpm` cannot be encoded. The noisy profile deterministically
/// mixes in spikes (a single frame far off the speed, sometimes outside what the decoder
/// accepts), garbage bytes before the frame and frames broken by a wrong end marker.
QByteArray frameBytes(const Profile &profile, int player, quint64 frameIndex, double rpm);

} // namespace devsim
