// SPDX-License-Identifier: MIT
// Bluetooth links against serial ones in the same run, and how long the event loop is ever
// held while Bluetooth connects, retries an absent device, faces a service that hangs, or
// follows a crowd of 100 000 devices that keeps changing.
// The fake Bluetooth service runs on a private bus; the serial streams come from the device
// simulator on virtual ports. Prints one line per figure; nothing is asserted.
#include "link/bluetooth_devices.h"
#include "link/player_links.h"
#include "link/port_names.h"
#include "support/private_bus.h"
#include "support/process_stats.h"
#include "support/pty_pair.h"
#include "support/stall_meter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

using rotavex::kFirstPlayer;
using rotavex::kLastPlayer;
using rotavex::PlayerSlot;

namespace
{

const QStringList kStreams { QStringLiteral("--profile"), QStringLiteral("steady"),
    QStringLiteral("--rpm"), QStringLiteral("6000,9000,12000,20000") };

void runEvents(double seconds)
{
    QEventLoop loop;
    QTimer::singleShot(std::chrono::milliseconds(qint64(seconds * 1000)), &loop, &QEventLoop::quit);
    loop.exec();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0.0 : (n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2);
}

bool allOpen(const PlayerLinks &links)
{
    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        if (!links.isOpen(n)) {
            return false;
        }
    }
    return true;
}

void closeAll(PlayerLinks &links)
{
    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        links.close(n);
    }
}

// Opens the four devices as Setup's Open does; false when one fails.
bool openDevices(PlayerLinks &links)
{
    QSignalSpy finished(&links, &PlayerLinks::bluetoothOpenFinished);
    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        if (const std::optional<QString> refused =
                links.beginOpenDevice(n, FakeBluezProcess::address(n))) {
            std::fprintf(stderr, "bench_bluetooth: %s\n", qPrintable(*refused));
            return false;
        }
    }
    const bool answered = QTest::qWaitFor([&] { return finished.size() == 4; }, 20000);
    for (const QList<QVariant> &report : finished) {
        if (!report.at(1).toString().isEmpty()) {
            std::fprintf(stderr, "bench_bluetooth: player %d: %s\n", report.at(0).toInt(),
                qPrintable(report.at(1).toString()));
        }
    }
    if (!answered || !allOpen(links)) {
        std::fprintf(stderr, "bench_bluetooth: the devices did not all connect\n");
        return false;
    }
    return true;
}

bool openPorts(PlayerLinks &links)
{
    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        if (const std::optional<QString> error = links.open(n, n)) {
            std::fprintf(stderr, "bench_bluetooth: COM%d: %s\n", n, qPrintable(*error));
            return false;
        }
    }
    return true;
}

// What streaming costs: CPU ms per s, and wake-ups (voluntary context switches) per s.
struct Cost {
    double cpuMsPerSecond = 0;
    double wakeupsPerSecond = 0;
};

Cost measureCost(double seconds)
{
    const double before = process_stats::cpuSeconds();
    const qint64 switchesBefore = process_stats::voluntarySwitches();
    runEvents(seconds);
    return { 1000.0 * (process_stats::cpuSeconds() - before) / seconds,
        double(process_stats::voluntarySwitches() - switchesBefore) / seconds };
}

// The cost over `seconds` after a warm-up, with every player delivering.
std::optional<Cost> streamCost(PlayerLinks &links, double seconds)
{
    runEvents(2.0);
    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        links.storeSample(n, 0);
    }
    const Cost cost = measureCost(seconds);
    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        if (links.playerRpm()[n] <= 0) {
            std::fprintf(stderr, "bench_bluetooth: player %d delivered nothing\n", n);
            return std::nullopt;
        }
    }
    return cost;
}

// The floor: plain QSerialPort readers of the same four streams, reading on every notification
// and discarding the bytes.
std::optional<Cost> bareReaderCost(double seconds)
{
    std::vector<std::unique_ptr<QSerialPort>> ports;
    qint64 bytes = 0;
    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        auto port = std::make_unique<QSerialPort>(port_names::Resolve(n).device);
        if (!port->open(QIODevice::ReadOnly)) {
            std::fprintf(
                stderr, "bench_bluetooth: COM%d: %s\n", n, qPrintable(port->errorString()));
            return std::nullopt;
        }
        QSerialPort *raw = port.get();
        QObject::connect(
            raw, &QSerialPort::readyRead, raw, [raw, &bytes] { bytes += raw->readAll().size(); });
        ports.push_back(std::move(port));
    }
    runEvents(2.0);
    const Cost cost = measureCost(seconds);
    if (bytes == 0) {
        std::fprintf(stderr, "bench_bluetooth: the bare readers read nothing\n");
        return std::nullopt;
    }
    return cost;
}

bool command(FakeBluezProcess &fake, const QString &verb)
{
    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        if (!fake.command(verb + QStringLiteral(" %1").arg(n))) {
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    double seconds = 10.0;
    int runs = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--seconds") == 0) {
            seconds = std::atof(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--runs") == 0) {
            runs = std::atoi(argv[i + 1]);
        }
    }
    if (!(seconds > 0) || runs < 1) {
        std::fprintf(stderr, "usage: bench_bluetooth [--seconds S] [--runs N]\n");
        return 2;
    }
    // The bus before the application: Qt connects to it once per process.
    PrivateBus bus;
    TempRuntimeDir runtime;
    QCoreApplication app(argc, argv);
    if (!bus.isValid()) {
        std::fprintf(stderr, "bench_bluetooth: dbus-daemon could not be started\n");
        return 1;
    }
    FakeBluezProcess fake(kStreams);
    QProcess devsim;
    devsim.start(QStringLiteral(ROTAVEX_DEVSIM), kStreams);
    const bool portsUp = QTest::qWaitFor(
        [&runtime] { return QFile::exists(runtime.portDir() + QStringLiteral("/COM4")); }, 10000);
    if (!fake.isReady() || !portsUp) {
        std::fprintf(stderr, "bench_bluetooth: the fake service or the simulator did not start\n");
        return 1;
    }
    auto links = std::make_unique<PlayerLinks>();
    if (!QTest::qWaitFor([&] { return links->bluetoothDevices().serialDevices().size() == 4; })) {
        std::fprintf(stderr, "bench_bluetooth: no devices listed\n");
        return 1;
    }

    // Connecting: the longest stall while four devices connect at once, and how long it takes.
    std::vector<double> connectStall, connectTime;
    std::vector<Cost> serialCost, bluetoothCost, bareCost;
    for (int run = 0; run < runs; ++run) {
        StallMeter meter;
        QElapsedTimer clock;
        clock.start();
        if (!openDevices(*links)) {
            return 1;
        }
        connectTime.push_back(double(clock.elapsed()));
        connectStall.push_back(double(meter.longestMs()));
        closeAll(*links);
        runEvents(0.5);
    }
    std::printf("bt-connect longest_stall_ms=%.0f connect_four_ms=%.0f\n", median(connectStall),
        median(connectTime));

    // Streaming: the same four streams over serial ports and over Bluetooth, alternated.
    for (int run = 0; run < runs; ++run) {
        if (!openPorts(*links)) {
            return 1;
        }
        const std::optional<Cost> serial = streamCost(*links, seconds);
        closeAll(*links);
        if (!serial || !openDevices(*links)) {
            return 1;
        }
        const std::optional<Cost> bluetooth = streamCost(*links, seconds);
        closeAll(*links);
        const std::optional<Cost> bare = bluetooth ? bareReaderCost(seconds) : std::nullopt;
        if (!bare) {
            return 1;
        }
        serialCost.push_back(*serial);
        bluetoothCost.push_back(*bluetooth);
        bareCost.push_back(*bare);
    }
    const auto cpuOf = [](const std::vector<Cost> &costs) {
        std::vector<double> values;
        for (const Cost &cost : costs) {
            values.push_back(cost.cpuMsPerSecond);
        }
        return median(values);
    };
    const auto wakeupsOf = [](const std::vector<Cost> &costs) {
        std::vector<double> values;
        for (const Cost &cost : costs) {
            values.push_back(cost.wakeupsPerSecond);
        }
        return median(values);
    };
    const double serial = cpuOf(serialCost);
    const double bluetooth = cpuOf(bluetoothCost);
    const double bare = cpuOf(bareCost);
    std::printf("stream-serial cpu_ms_per_s=%.3f wakeups_per_s=%.1f\n"
                "stream-bluetooth cpu_ms_per_s=%.3f ratio=%.2f wakeups_per_s=%.1f\n"
                "stream-bare-readers cpu_ms_per_s=%.3f wakeups_per_s=%.1f\n",
        serial, wakeupsOf(serialCost), bluetooth, serial > 0 ? bluetooth / serial : 0.0,
        wakeupsOf(bluetoothCost), bare, wakeupsOf(bareCost));

    // Retrying: four links lost to devices out of range, retried at the real pace.
    if (!openDevices(*links) || !command(fake, QStringLiteral("out"))) {
        return 1;
    }
    {
        StallMeter meter;
        runEvents(std::max(seconds, 11.0));
        std::printf("bt-retry longest_stall_ms=%lld open_links=%d\n", meter.longestMs(),
            int(allOpen(*links)));
    }
    if (!command(fake, QStringLiteral("in"))
        || !QTest::qWaitFor([&] { return allOpen(*links); }, 15000)) {
        std::fprintf(stderr, "bench_bluetooth: the links did not come back\n");
        return 1;
    }

    // A service that stops answering while the four links are lost and retried, the device
    // list is read again, and then the links are destroyed as at quit.
    if (!fake.command(QStringLiteral("hang")) || !command(fake, QStringLiteral("out"))) {
        return 1;
    }
    qint64 quitMs = 0;
    {
        StallMeter meter;
        for (int i = 0; i < 3; ++i) {
            fake.command(QStringLiteral("rename 1 SPINNER-%1").arg(10 + i));
            runEvents(std::max(seconds, 11.0) / 3);
        }
        QElapsedTimer clock;
        clock.start();
        links.reset();
        quitMs = clock.elapsed();
        std::printf("bt-hung longest_stall_ms=%lld quit_ms=%lld\n", meter.longestMs(), quitMs);
    }
    // The service leaving answers whatever calls it still holds.
    fake.stop();

    // A crowd: 100 000 devices nearby, one coming or going and one signal strength changing
    // every 100 ms, while the four players stream. The first read of the whole list is its own
    // figure; the stall is measured after it.
    FakeBluezProcess crowd(kStreams
        + QStringList { QStringLiteral("--nearby"), QStringLiteral("100000"),
            QStringLiteral("--churn"), QStringLiteral("100") });
    if (!crowd.isReady()) {
        std::fprintf(stderr, "bench_bluetooth: the crowded fake service did not start\n");
        return 1;
    }
    qint64 loadStall = 0;
    {
        StallMeter meter;
        links = std::make_unique<PlayerLinks>();
        if (!QTest::qWaitFor(
                [&] { return links->bluetoothDevices().serialDevices().size() == 4; }, 60000)) {
            std::fprintf(stderr, "bench_bluetooth: the crowd's devices were not listed\n");
            return 1;
        }
        loadStall = meter.longestMs();
    }
    if (!openDevices(*links)) {
        return 1;
    }
    {
        StallMeter meter;
        runEvents(seconds);
        std::printf("bt-crowd devices=%lld longest_stall_ms=%lld first_read_stall_ms=%lld "
                    "open_links=%d\n",
            qint64(links->bluetoothDevices().snapshot().devices.size()), meter.longestMs(),
            loadStall, int(allOpen(*links)));
    }
    links.reset();
    crowd.stop();
    devsim.terminate();
    devsim.waitForFinished();
    return 0;
}
