// SPDX-License-Identifier: MIT
#include "profile.h"

#include "link/comm.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace devsim
{

namespace
{

    constexpr qint32 kMaxListRpm = 7'500'000; // count 1

    // Demo round, in seconds from its start. The display's filter takes a speed only when it
    // stays within a third of the last one from one second to the next and a player's first
    // speed is at most 4200 rpm, so spin-ups start low and all changes are gradual.
    constexpr std::array<double, 4> kDemoTargetRpm { 12000.0, 9000.0, 15000.0, 6500.0 };
    constexpr std::array<double, 4> kDemoStartS { 0.0, 1.5, 3.0, 4.5 };
    constexpr std::array<double, 4> kDemoWobblePeriodS { 9.0, 11.0, 13.0, 7.0 };
    constexpr double kDemoLapDelayS = 0.7; // players 5.. repeat 1..4 a little later
    constexpr double kDemoWobble = 0.08; // ± share of the speed
    constexpr double kSpinUpFromRpm = 2000.0;
    constexpr double kSpinUpRatePerS = 0.25; // logistic growth; at most 28 % a second
    constexpr std::size_t kDropOutPattern = 3; // the fourth player of each four drops out
    constexpr double kDropOutStartS = 32.0;
    constexpr double kDropOutEndS = 38.0;
    constexpr double kSpinDownStartS = 47.0;
    constexpr double kSpinDownRatePerS = 0.28;
    constexpr double kStallRpm = 1000.0; // below this a device stops reporting

    // A logistic spin-up from kSpinUpFromRpm towards `target`, `t` seconds after it began.
    double spinUp(double target, double t)
    {
        return target / (1.0 + (target / kSpinUpFromRpm - 1.0) * std::exp(-kSpinUpRatePerS * t));
    }

    double demoRpm(int player, std::chrono::milliseconds elapsed)
    {
        const auto pattern = static_cast<std::size_t>((player - 1) % 4);
        const int lap = (player - 1) / 4;
        const double t = static_cast<double>(elapsed.count() % kDemoCycle.count()) / 1000.0;
        const double start = kDemoStartS[pattern] + kDemoLapDelayS * lap;
        const bool droppedOut = pattern == kDropOutPattern;
        if (t < start || (droppedOut && t >= kDropOutStartS && t < kDropOutEndS)) {
            return 0.0;
        }
        const double spinStart = droppedOut && t >= kDropOutEndS ? kDropOutEndS : start;
        double rpm = spinUp(kDemoTargetRpm[pattern], t - spinStart);
        rpm *= 1.0
            + kDemoWobble
                * std::sin(2.0 * std::numbers::pi * (t - start) / kDemoWobblePeriodS[pattern]);
        if (t >= kSpinDownStartS) {
            rpm *= std::exp(-kSpinDownRatePerS * (t - kSpinDownStartS));
        }
        return rpm < kStallRpm ? 0.0 : rpm;
    }

    // A well-mixed 64-bit hash (splitmix64), so noise is reproducible without any shared state.
    quint64 mix(quint64 x)
    {
        x += 0x9E3779B97F4A7C15ULL;
        x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
        x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
        return x ^ (x >> 31);
    }

    QByteArray noisyFrame(int player, quint64 frameIndex, quint16 count, double rpm)
    {
        const quint64 h = mix(mix(static_cast<quint64>(player)) ^ frameIndex);
        const quint64 roll = h % 1000;
        const quint64 bits = h >> 16;
        if (roll < 50) {
            // A spike the filter should reject: one frame at 2.5 times or 0.4 times the speed.
            const auto spike = countForRpm(rpm * ((bits & 1) != 0 ? 2.5 : 0.4));
            return comm::encodeFrame(spike.value_or(count));
        }
        if (roll < 70) {
            return comm::encodeFrame(100); // 75,000 rpm: outside what the decoder accepts
        }
        if (roll < 120) {
            // Up to three stray bytes: too few to form a frame, and the "<" that follows resyncs.
            QByteArray bytes;
            const int length = 1 + static_cast<int>(bits % 3);
            for (int i = 0; i < length; ++i) {
                bytes.append(static_cast<char>((bits >> (8 * (i + 1))) & 0xFF));
            }
            return bytes + comm::encodeFrame(count);
        }
        if (roll < 150) {
            QByteArray broken = comm::encodeFrame(count);
            const char wrong = static_cast<char>(bits & 0xFF);
            broken[3] = wrong == comm::kEndMarker ? '!' : wrong;
            return broken;
        }
        return comm::encodeFrame(count);
    }

} // namespace

std::optional<quint16> countForRpm(double rpm)
{
    if (!(rpm > 0.0)) {
        return std::nullopt;
    }
    const double count = std::round(kCountsPerMinute / rpm);
    if (count < 1.0 || count > 65535.0) {
        return std::nullopt;
    }
    return static_cast<quint16>(count);
}

double framesPerSecond(double rpm)
{
    if (!countForRpm(rpm)) {
        return 0.0;
    }
    return std::min(rpm / 60.0, kMaxFramesPerSecond);
}

qsizetype staleInputLimitBytes(double framesPerSecond)
{
    const auto frames = std::max<qsizetype>(4, std::llround(std::ceil(framesPerSecond / 2.0)));
    return frames * 4;
}

int FramePacer::advance(std::chrono::nanoseconds elapsed, double framesPerSecond)
{
    if (!(framesPerSecond > 0.0)) {
        m_credit = 0.0;
        return 0;
    }
    const auto counted = std::clamp<std::chrono::nanoseconds>(elapsed, {}, kMaxCatchUp);
    m_credit += std::chrono::duration<double>(counted).count() * framesPerSecond;
    // The tolerance keeps rounding of many small steps from holding back a whole frame.
    const double due = std::floor(m_credit + 1e-9);
    m_credit -= due;
    return static_cast<int>(due);
}

std::optional<ProfileKind> profileFromName(QStringView name)
{
    for (const auto kind : { ProfileKind::Demo, ProfileKind::Steady, ProfileKind::Noisy }) {
        if (name == profileName(kind)) {
            return kind;
        }
    }
    return std::nullopt;
}

QString profileName(ProfileKind kind)
{
    switch (kind) {
    case ProfileKind::Demo:
        return QStringLiteral("demo");
    case ProfileKind::Steady:
        return QStringLiteral("steady");
    case ProfileKind::Noisy:
        return QStringLiteral("noisy");
    }
    return {};
}

std::optional<std::vector<qint32>> parseRpmList(QStringView text)
{
    std::vector<qint32> values;
    for (const QStringView item : text.split(u',')) {
        bool ok = false;
        const qint32 rpm = item.trimmed().toInt(&ok);
        if (!ok || (rpm != 0 && (rpm < kMinEncodableRpm || rpm > kMaxListRpm))) {
            return std::nullopt;
        }
        values.push_back(rpm);
    }
    return values;
}

std::vector<qint32> defaultRpmList() { return { 6000, 7500, 9000, 10500 }; }

double rpmAt(const Profile &profile, int player, std::chrono::milliseconds elapsed)
{
    if (player < 1) {
        return 0.0;
    }
    if (profile.kind == ProfileKind::Demo) {
        return demoRpm(player, elapsed);
    }
    if (profile.rpm.empty()) {
        return 0.0;
    }
    const auto index = std::min(static_cast<std::size_t>(player - 1), profile.rpm.size() - 1);
    return profile.rpm[index];
}

QByteArray frameBytes(const Profile &profile, int player, quint64 frameIndex, double rpm)
{
    const auto count = countForRpm(rpm);
    if (!count) {
        return {};
    }
    if (profile.kind == ProfileKind::Noisy) {
        return noisyFrame(player, frameIndex, *count, rpm);
    }
    return comm::encodeFrame(*count);
}

} // namespace devsim
