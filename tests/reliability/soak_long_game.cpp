// SPDX-License-Identifier: MIT
// A long Speed game on four links at the devices' real pace (soak only, too slow for the
// suite): refresh ticks keep coming, the board shows well-formed speeds, the links stay open,
// and the resident memory is flat after the first minute. Prints its figures and, last, PASS
// or FAIL.
//
//   soak_long_game [--minutes N]     (default 30)
#include "rig.h"

#include "link/player_links.h"
#include "main_window/frm_main.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

using reliability::GameRig;
using rotavex::kFirstPlayer;
using rotavex::kLastPlayer;
using rotavex::PlayerSlot;

namespace
{

constexpr qint64 kMaxTickGapMs = 1500;
// Allocator noise, not growth: a leak of a few hundred bytes a tick passes this in minutes.
constexpr qint64 kMaxRssGrowthKib = 2048;

// Four players whose speeds swing by a fifth over 40 s; player 4 stops for 6 s every minute,
// so the watchdog zeroes it and the link comes back.
qint32 rpmAt(PlayerSlot player, double seconds)
{
    constexpr double kBase[] = { 6000, 9000, 12000, 16000 };
    if (player == 4 && std::fmod(seconds, 60.0) > 54.0) {
        return 0;
    }
    const double swing = 1.0 + 0.2 * std::sin(2 * std::numbers::pi * seconds / 40.0 + player);
    return qint32(kBase[player - 1] * swing);
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", qEnvironmentVariable("QT_QPA_PLATFORM", "offscreen").toLocal8Bit());
    QApplication app(argc, argv);
    double minutes = 30;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--minutes") == 0) {
            minutes = std::atof(argv[i + 1]);
        }
    }
    if (!(minutes > 0)) {
        std::fprintf(stderr, "usage: soak_long_game [--minutes N]\n");
        return 2;
    }

    GameRig rig;
    std::vector<int> fds;
    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        if (!rig.plugDevice(p) || rig.openLink(p)) {
            std::printf("cannot open the link of player %d\nFAIL\n", p);
            return 1;
        }
        fds.push_back(rig.device(p).masterFd());
    }
    reliability::PacedWriter writer(fds, rpmAt);
    rig.startGame(0);

    int ticks = 0;
    int badCaptions = 0;
    qint64 maxGapMs = 0;
    QElapsedTimer sinceTick;
    QObject::connect(rig.refreshTimer(), &QTimer::timeout, &app, [&] {
        if (ticks++ > 0) {
            maxGapMs = std::max(maxGapMs, sinceTick.elapsed());
        }
        sinceTick.start();
        for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
            const std::optional<qint32> rpm = GameRig::rpmInCaption(rig.speedCaption(p));
            badCaptions += rpm && *rpm >= 0 && *rpm <= 20000 ? 0 : 1;
        }
    });

    // The resident size once a minute; the first minute's figure is the baseline.
    std::vector<qint64> rssKib;
    QTimer minute;
    QObject::connect(&minute, &QTimer::timeout, &app, [&] {
        rssKib.push_back(reliability::statusKib("VmRSS"));
        std::printf("minute %zu: rss %lld KiB, ticks %d\n", rssKib.size(),
            static_cast<long long>(rssKib.back()), ticks);
        std::fflush(stdout);
    });
    minute.start(std::chrono::minutes(1));

    QElapsedTimer running;
    running.start();
    QEventLoop loop;
    QTimer::singleShot(
        std::chrono::milliseconds(qint64(minutes * 60'000)), &loop, &QEventLoop::quit);
    loop.exec();
    writer.stop();
    const double seconds = running.elapsed() / 1000.0;

    bool linksOpen = true;
    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        linksOpen = linksOpen && rig.window().links().isOpen(p);
    }
    const qint64 baseline = rssKib.empty() ? reliability::statusKib("VmRSS") : rssKib.front();
    const qint64 highest =
        rssKib.empty() ? baseline : *std::max_element(rssKib.begin(), rssKib.end());
    const qint64 growth = highest - baseline;
    std::printf("FIGURES long_game minutes=%.1f ticks=%d max_tick_gap_ms=%lld frames_written=%lld "
                "bad_captions=%d rss_after_first_minute_kib=%lld rss_highest_kib=%lld "
                "rss_growth_kib=%lld links_open=%d\n",
        seconds / 60, ticks, static_cast<long long>(maxGapMs),
        static_cast<long long>(writer.framesWritten()), badCaptions,
        static_cast<long long>(baseline), static_cast<long long>(highest),
        static_cast<long long>(growth), linksOpen ? 1 : 0);
    const bool pass = linksOpen && badCaptions == 0 && maxGapMs <= kMaxTickGapMs
        && growth <= kMaxRssGrowthKib && ticks >= int(seconds * 0.9);
    std::printf("%s\n", pass ? "PASS" : "FAIL");
    return pass ? 0 : 1;
}
