// SPDX-License-Identifier: MIT
// The announcer's figures, each beside its floor from the same run, on a PulseAudio daemon of the
// bench's own (a null sink whose monitor is recorded):
//   wakeups   context switches per second of an idle evening with sound on (the sound system
//             reached, nothing playing) beside the same evening before the announcer was made
//   go        how long after the go tone is heard (in the recording) the game's clock starts, over
//             count-ins, beside its floor: 0, the clock starting on the tone's first sample
//   stall     the longest event-loop stall while a count-in plays into a frozen (hung) server,
//             beside the longest stall of the same loop with nothing playing
#include "announcer/announcer.h"
#include "evening/evening.h"
#include "game/game_clock.h"
#include "game/game_session.h"
#include "settings/settings_store.h"
#include "support/pty_pair.h"
#include "support/pulse_rig.h"
#include "support/stall_meter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTest>

#include <algorithm>
#include <cstdio>

namespace
{

constexpr int kRate = 48000;

// Voluntary and involuntary context switches of every thread of this process so far.
qint64 ContextSwitches()
{
    qint64 total = 0;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile status(tasks.filePath(task + QStringLiteral("/status")));
        if (!status.open(QIODevice::ReadOnly)) {
            continue;
        }
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.contains("ctxt_switches:")) {
                total += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
            }
        }
    }
    return total;
}

double WakeupsPerSecond(int seconds)
{
    const qint64 before = ContextSwitches();
    QTest::qWait(seconds * 1000);
    return double(ContextSwitches() - before) / seconds;
}

int RunWakeups(int seconds)
{
    evening::Evening evening;
    QTest::qWait(1000);
    const double floor = WakeupsPerSecond(seconds);
    announcer::Announcer announcer(evening);
    QTest::qWait(1000);
    const double sound = WakeupsPerSecond(seconds);
    std::printf("wakeups sound_per_s=%.2f floor_per_s=%.2f problem=\"%s\"\n", sound, floor,
        qPrintable(announcer.problem()));
    return 0;
}

int RunGo(PulseRig &rig, int runs)
{
    evening::Evening evening;
    announcer::Announcer announcer(evening);
    evening.clock().choose(game::PlayMode::Strength, 30);
    qint64 startedMs = -1;
    QObject::connect(&evening.session(), &game::GameSession::started,
        [&] { startedMs = rig.clock().elapsed(); });
    QList<double> offsets;
    for (int run = 0; run < runs; ++run) {
        startedMs = -1;
        const qint64 askedMs = rig.clock().elapsed();
        evening.clock().startHeat();
        if (!QTest::qWaitFor([&] { return startedMs >= 0; }, 60000)) {
            return 1;
        }
        QTest::qWait(1500);
        evening.clock().stop();
        const qint64 skip = std::max<qint64>(0, askedMs - rig.firstSampleMs()) * kRate / 1000;
        const QList<HeardTone> tones = FindTones(rig.recorded().mid(skip * 2), kRate);
        if (tones.size() < 4) {
            std::printf("go run %d: only %lld tones heard\n", run, qint64(tones.size()));
            return 1;
        }
        offsets.append(
            startedMs - (rig.firstSampleMs() + skip * 1000.0 / kRate + tones[3].onsetMs));
    }
    std::sort(offsets.begin(), offsets.end());
    std::printf("go clock_after_tone_ms median=%.1f min=%.1f max=%.1f runs=%d floor_ms=0\n",
        offsets[offsets.size() / 2], offsets.first(), offsets.last(), runs);
    return 0;
}

int RunStall(PulseRig &rig)
{
    evening::Evening evening;
    announcer::Announcer announcer(evening);
    qint64 floor = 0;
    {
        StallMeter meter;
        QTest::qWait(4000);
        floor = meter.longestMs();
    }
    rig.freeze(true);
    StallMeter meter;
    evening.clock().startHeat();
    const bool went = QTest::qWaitFor([&] { return evening.session().snapshot().running; }, 60000);
    QTest::qWait(4000);
    std::printf("stall hung_server_longest_ms=%lld floor_longest_ms=%lld went=%d problem=\"%s\"\n",
        meter.longestMs(), floor, int(went), qPrintable(announcer.problem()));
    evening.clock().stop();
    rig.freeze(false);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString mode = args.value(1);
    TempSettings settings;
    PulseRig rig;
    if (!rig.ready()) {
        std::printf("no sound server: %s\n", qPrintable(rig.error()));
        return 1;
    }
    // Only the go figure records the sink; the recording's own wake-ups stay out of the others.
    if (mode == QLatin1String("go")
        && (!rig.record(kRate) || !QTest::qWaitFor([&] { return rig.samples() > 0; }, 60000))) {
        return 1;
    }
    if (mode == QLatin1String("wakeups")) {
        return RunWakeups(args.value(2, QStringLiteral("10")).toInt());
    }
    if (mode == QLatin1String("go")) {
        return RunGo(rig, args.value(2, QStringLiteral("5")).toInt());
    }
    if (mode == QLatin1String("stall")) {
        return RunStall(rig);
    }
    std::printf("usage: bench_sound wakeups [seconds] | go [runs] | stall\n");
    return 2;
}
