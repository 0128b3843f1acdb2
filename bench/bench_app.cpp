// SPDX-License-Identifier: MIT
// Whole-program figures for the bench table, each beside a floor that this same executable
// measures in the same run on the same machine:
//   stream        the real frmMain reading four links during a Speed game
//   stream-display  the same with the spectators' display open at 1920×1080
//   stream-floor  plain QSerialPort readers of the same four links, discarding the bytes
//   idle          the real frmMain with no link open (only the watchdog ticks)
//   idle-floor    a bare window with one chart view, doing nothing
//   idle-open     the real frmMain with four links open on devices that send nothing
//   idle-lost     the real frmMain whose four links lost their devices and wait for them
//   startup       launches of the program and of the bare window, timed to the first paint
// Every mode prints one line of key=value pairs for scripts/bench.
#include "display/frm_display.h"
#include "evening/evening.h"
#include "link/player_links.h"
#include "link/port_names.h"
#include "link/serial_control.h"
#include "main_window/board_art.h"
#include "main_window/font_warm_up.h"
#include "main_window/frm_main.h"
#include "results/results_store.h"
#include "support/process_stats.h"
#include "virtual_port.h"

#include <QApplication>
#include <QChartView>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace
{

using process_stats::cpuSeconds;
using process_stats::statusKib;
using process_stats::voluntarySwitches;

using namespace std::chrono_literals;
using rotavex::kFirstPlayer;
using rotavex::kLastPlayer;
using rotavex::PlayerSlot;

struct Options {
    std::string mode;
    double seconds = 60.0;
    double warmupSeconds = 3.0;
    int runs = 7;
};

std::optional<Options> parseOptions(int argc, char *argv[])
{
    if (argc < 2) {
        return std::nullopt;
    }
    Options options;
    options.mode = argv[1];
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        char *end = nullptr;
        const double value = std::strtod(argv[i + 1], &end);
        if (end == argv[i + 1] || *end != '\0' || !(value >= 0.0)) {
            return std::nullopt;
        }
        if (name == "--seconds") {
            options.seconds = value;
        } else if (name == "--warmup") {
            options.warmupSeconds = value;
        } else if (name == "--runs" && value >= 1.0) {
            options.runs = static_cast<int>(value);
        } else {
            return std::nullopt;
        }
    }
    return options;
}

qint64 monotonicNs()
{
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// Runs the event loop for `seconds`. A local loop, not QCoreApplication::quit(), which on a
// GUI application also closes every window (and with the main window its links).
void runEvents(double seconds)
{
    if (seconds <= 0) {
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(std::chrono::milliseconds(qint64(seconds * 1000)), &loop, &QEventLoop::quit);
    loop.exec();
}

// What the process uses while its event loop runs for `seconds`: CPU seconds, and wake-ups
// (voluntary context switches) per second.
struct Usage {
    double cpu = 0;
    double wakeupsPerSecond = 0;
};

Usage measureUsage(double seconds)
{
    const double before = cpuSeconds();
    const qint64 switchesBefore = voluntarySwitches();
    runEvents(seconds);
    return { cpuSeconds() - before, double(voluntarySwitches() - switchesBefore) / seconds };
}

// The real program during a Speed game on COM1..COM4, opened as the setup dialog's Open does.
int runStream(int argc, char *argv[], const Options &options, bool display)
{
    QApplication app(argc, argv);
    frmMain window;
    window.show();
    if (display) {
        window.findChild<QPushButton *>(QStringLiteral("CmdDisplay"))->click();
        window.display()->resize(1920, 1080);
    }
    qint64 events = 0;
    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        if (const std::optional<QString> error = window.links().open(n, n)) {
            std::fprintf(stderr, "bench_app: COM%d: %s\n", n, qPrintable(*error));
            return 1;
        }
        QObject::connect(
            window.links().control(n), &SerialControl::OnComm, &app, [&events] { ++events; });
    }
    window.findChild<QRadioButton *>(QStringLiteral("OptMode0"))->click();
    window.findChild<QPushButton *>(QStringLiteral("CmdStart"))->click();
    qint64 ticks = 0;
    QObject::connect(window.findChild<QTimer *>(QStringLiteral("tmrRefresh")), &QTimer::timeout,
        &app, [&ticks] { ++ticks; });

    runEvents(options.warmupSeconds);
    events = 0;
    ticks = 0;
    const Usage usage = measureUsage(options.seconds);
    int live = 0;
    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        live += window.links().playerRpm()[n] > 0 ? 1 : 0;
    }
    std::printf("%s cpu_ms_per_s=%.3f rss_peak_kib=%lld events_per_s=%.1f ticks=%lld "
                "live_players=%d wakeups_per_s=%.1f\n",
        display ? "stream-display" : "stream", 1000.0 * usage.cpu / options.seconds,
        statusKib("VmHWM"), double(events) / options.seconds, ticks, live, usage.wakeupsPerSecond);
    return live == rotavex::kPlayerCount ? 0 : 1;
}

// The least any reader of the same four streams must spend: plain serial ports, bytes dropped.
int runStreamFloor(int argc, char *argv[], const Options &options)
{
    QCoreApplication app(argc, argv);
    std::vector<std::unique_ptr<QSerialPort>> ports;
    qint64 events = 0;
    qint64 bytes = 0;
    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        auto port = std::make_unique<QSerialPort>(port_names::Resolve(n).device);
        port->setBaudRate(QSerialPort::Baud9600);
        port->setParity(QSerialPort::NoParity);
        port->setDataBits(QSerialPort::Data8);
        port->setStopBits(QSerialPort::OneStop);
        if (!port->open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "bench_app: COM%d: %s\n", n, qPrintable(port->errorString()));
            return 1;
        }
        QSerialPort *raw = port.get();
        QObject::connect(raw, &QSerialPort::readyRead, &app, [raw, &events, &bytes] {
            ++events;
            bytes += raw->readAll().size();
        });
        ports.push_back(std::move(port));
    }
    runEvents(options.warmupSeconds);
    events = 0;
    bytes = 0;
    const Usage usage = measureUsage(options.seconds);
    std::printf("stream-floor cpu_ms_per_s=%.3f rss_peak_kib=%lld events_per_s=%.1f "
                "bytes_per_s=%.1f wakeups_per_s=%.1f\n",
        1000.0 * usage.cpu / options.seconds, statusKib("VmHWM"), double(events) / options.seconds,
        double(bytes) / options.seconds, usage.wakeupsPerSecond);
    return bytes > 0 ? 0 : 1;
}

// The reference window for start-up and idle: what any Qt Widgets program with a chart costs.
std::unique_ptr<QWidget> makeFloorWindow()
{
    auto window = std::make_unique<QWidget>();
    auto *layout = new QVBoxLayout(window.get());
    layout->addWidget(new QChartView(window.get()));
    window->resize(665, 526); // the main window's design client size in pixels at 96 dpi
    return window;
}

int runIdle(int argc, char *argv[], const Options &options, bool floor)
{
    QApplication app(argc, argv);
    std::unique_ptr<QWidget> window;
    if (floor) {
        window = makeFloorWindow();
    } else {
        window = std::make_unique<frmMain>();
    }
    window->show();
    runEvents(options.warmupSeconds);
    const Usage usage = measureUsage(options.seconds);
    std::printf("%s cpu_ms_per_s=%.3f rss_peak_kib=%lld wakeups_per_s=%.1f\n",
        floor ? "idle-floor" : "idle", 1000.0 * usage.cpu / options.seconds, statusKib("VmHWM"),
        usage.wakeupsPerSecond);
    return 0;
}

// Four simulated devices, COM1..COM4, each opened on its player's link; none (with the reason
// said) when one cannot be set up.
std::vector<std::unique_ptr<VirtualPort>> openFourDevices(
    PlayerLinks &links, const QString &portDir)
{
    std::vector<std::unique_ptr<VirtualPort>> devices;
    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        QString error;
        auto device = VirtualPort::create(n, portDir, &error);
        if (!device || links.open(n, n)) {
            std::fprintf(
                stderr, "bench_app: COM%d could not be set up: %s\n", n, qPrintable(error));
            return {};
        }
        devices.push_back(std::move(device));
    }
    return devices;
}

// The program with its four links open on devices that are there but send nothing: a silent
// device must cost nothing until it speaks.
int runIdleOpen(int argc, char *argv[], const Options &options)
{
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    QApplication app(argc, argv);
    const QString portDir = port_names::VirtualPortDir();
    if (!runtime.isValid() || !QDir().mkpath(portDir)) {
        std::fprintf(stderr, "bench_app: no private runtime folder\n");
        return 1;
    }
    frmMain window;
    window.show();
    std::vector<std::unique_ptr<VirtualPort>> devices = openFourDevices(window.links(), portDir);
    if (devices.empty()) {
        return 1;
    }
    runEvents(options.warmupSeconds);
    const Usage usage = measureUsage(options.seconds);
    int open = 0;
    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        open += window.links().isOpen(n) ? 1 : 0;
    }
    std::printf("idle-open cpu_ms_per_s=%.3f rss_peak_kib=%lld wakeups_per_s=%.1f open_links=%d\n",
        1000.0 * usage.cpu / options.seconds, statusKib("VmHWM"), usage.wakeupsPerSecond, open);
    return open == rotavex::kPlayerCount ? 0 : 1;
}

// The program after all four devices went away: the links wait for them to come back.
int runIdleLost(int argc, char *argv[], const Options &options)
{
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    QApplication app(argc, argv);
    const QString portDir = port_names::VirtualPortDir();
    if (!runtime.isValid() || !QDir().mkpath(portDir)) {
        std::fprintf(stderr, "bench_app: no private runtime folder\n");
        return 1;
    }
    frmMain window;
    window.show();
    PlayerLinks &links = window.links();
    std::vector<std::unique_ptr<VirtualPort>> devices = openFourDevices(links, portDir);
    if (devices.empty()) {
        return 1;
    }
    devices.clear(); // every device goes away: links removed, pseudo-terminals closed
    runEvents(options.warmupSeconds);
    int waiting = 0;
    for (PlayerSlot n = kFirstPlayer; n <= kLastPlayer; ++n) {
        waiting += links.status(n).state == link_status::LinkState::Lost ? 1 : 0;
    }
    const Usage usage = measureUsage(options.seconds);
    std::printf(
        "idle-lost cpu_ms_per_s=%.3f rss_peak_kib=%lld waiting_links=%d wakeups_per_s=%.1f\n",
        1000.0 * usage.cpu / options.seconds, statusKib("VmHWM"), waiting, usage.wakeupsPerSecond);
    return waiting == rotavex::kPlayerCount ? 0 : 1;
}

// What a start-up child does before its first picture, in order; the CPU time (ms) of the
// process and the moment at the end of each are kept and reported with the first paint.
enum Stage { Loaded, Application, Store, Window, Shown, Painted, kStages };
constexpr std::array<const char *, kStages> kStageNames { "loaded", "application", "results_store",
    "window", "show", "first_paint" };
std::array<double, kStages> stageCpuMs {};
std::array<qint64, kStages> stageEndNs {};

void reached(Stage stage)
{
    stageCpuMs[stage] = 1000.0 * cpuSeconds();
    stageEndNs[stage] = monotonicNs();
}

// Reports the moment the first paint pass of the window has finished, then leaves at once
// (no teardown), so the parent sees start-to-paint and the peak memory up to then.
class FirstPaintWatch : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!m_seen && event->type() == QEvent::Paint) {
            m_seen = true;
            // Queued: runs after the whole pass, children and flush included.
            QTimer::singleShot(0, this, [] {
                const qint64 painted = monotonicNs();
                reached(Painted);
                std::printf(
                    "painted_ns=%lld rss_peak_kib=%lld stages", painted, statusKib("VmHWM"));
                for (int stage = Loaded; stage < kStages; ++stage) {
                    std::printf(
                        " %.3f", stageCpuMs[stage] - (stage > 0 ? stageCpuMs[stage - 1] : 0));
                }
                std::printf(" ends");
                for (int stage = Loaded; stage < kStages; ++stage) {
                    std::printf(" %lld", static_cast<long long>(stageEndNs[stage]));
                }
                std::printf("\n");
                std::fflush(stdout);
                std::_Exit(0);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_seen = false;
};

// As main() starts the program: the font configuration read beside the application's set-up, the
// results file (opened after the first picture), the board's pictures drawn beside the fonts,
// the window.
int runStartupChild(int argc, char *argv[], bool floor)
{
    reached(Loaded);
    std::optional<main_window::FontWarmUp> fonts;
    if (!floor) {
        fonts.emplace();
    }
    QApplication app(argc, argv);
    reached(Application);
    std::unique_ptr<results::ResultsStore> results;
    if (!floor) {
        QGuiApplication::setDesktopFileName(QStringLiteral("io.github.rotavex.Rotavex"));
        results = std::make_unique<results::ResultsStore>(results::ResultsStore::defaultFolder(),
            results::ResultsStore::Access::ReadWrite, results::ResultsStore::Opening::Deferred);
    }
    reached(Store);
    std::unique_ptr<evening::Evening> core;
    std::unique_ptr<QWidget> window;
    if (floor) {
        window = makeFloorWindow();
    } else {
        const main_window::BoardArt art(QGuiApplication::primaryScreen()->devicePixelRatio());
        fonts->wait();
        core = std::make_unique<evening::Evening>(results.get());
        window = std::make_unique<frmMain>(*core, &art);
    }
    reached(Window);
    FirstPaintWatch watch;
    window->installEventFilter(&watch);
    window->show();
    reached(Shown);
    return app.exec();
}

struct Launch {
    double milliseconds = 0;
    qint64 rssPeakKib = 0;
    std::array<double, kStages> stageMs {}; ///< CPU time of each stage
    std::array<double, kStages> stageWallMs {}; ///< time each stage took, the first from the spawn
};

// Starts this executable as a start-up child and times it from just before the spawn.
std::optional<Launch> launchChild(const char *self, const char *kind)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) {
        return std::nullopt;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    char mode[] = "startup-child";
    std::string kindText = kind;
    char *childArgv[] = { const_cast<char *>(self), mode, kindText.data(), nullptr };
    pid_t child = 0;
    const qint64 started = monotonicNs();
    const int spawned = ::posix_spawn(&child, self, &actions, nullptr, childArgv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    if (spawned != 0) {
        ::close(pipeEnds[0]);
        return std::nullopt;
    }
    std::string output;
    char buffer[256];
    ssize_t n = 0;
    while ((n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0) {
            output.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    long long painted = 0;
    long long rss = 0;
    Launch launch;
    auto &ms = launch.stageMs;
    std::array<long long, kStages> ends {};
    static_assert(kStages == 6);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0
        || std::sscanf(output.c_str(),
               "painted_ns=%lld rss_peak_kib=%lld stages %lf %lf %lf %lf %lf %lf ends %lld %lld "
               "%lld %lld %lld %lld",
               &painted, &rss, &ms[0], &ms[1], &ms[2], &ms[3], &ms[4], &ms[5], &ends[0], &ends[1],
               &ends[2], &ends[3], &ends[4], &ends[5])
            != 2 + 2 * kStages) {
        return std::nullopt;
    }
    for (int stage = Loaded; stage < kStages; ++stage) {
        launch.stageWallMs[stage] =
            double(ends[stage] - (stage > 0 ? ends[stage - 1] : started)) / 1e6;
    }
    launch.milliseconds = double(painted - started) / 1e6;
    launch.rssPeakKib = rss;
    return launch;
}

template <typename T> T median(std::vector<T> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// Alternates program and floor launches so both see the same state of a noisy machine.
int runStartup(const char *self, const Options &options)
{
    std::vector<double> programMs, floorMs;
    std::vector<qint64> programRss, floorRss;
    std::array<std::vector<double>, kStages> programStages, floorStages;
    std::array<std::vector<double>, kStages> programWalls, floorWalls;
    // One unmeasured launch of each warms the file cache.
    launchChild(self, "floor");
    launchChild(self, "program");
    for (int i = 0; i < options.runs; ++i) {
        const std::optional<Launch> floor = launchChild(self, "floor");
        const std::optional<Launch> program = launchChild(self, "program");
        if (!floor || !program) {
            std::fprintf(stderr, "bench_app: a start-up launch failed\n");
            return 1;
        }
        floorMs.push_back(floor->milliseconds);
        floorRss.push_back(floor->rssPeakKib);
        programMs.push_back(program->milliseconds);
        programRss.push_back(program->rssPeakKib);
        for (int stage = Loaded; stage < kStages; ++stage) {
            programStages[stage].push_back(program->stageMs[stage]);
            floorStages[stage].push_back(floor->stageMs[stage]);
            programWalls[stage].push_back(program->stageWallMs[stage]);
            floorWalls[stage].push_back(floor->stageWallMs[stage]);
        }
    }
    // Where the time and the CPU time go up to the first picture, stage by stage (medians).
    for (const auto &[kind, measure, stages] : {
             std::tuple { "program", "cpu_ms", &programStages },
             std::tuple { "floor", "cpu_ms", &floorStages },
             std::tuple { "program", "wall_ms", &programWalls },
             std::tuple { "floor", "wall_ms", &floorWalls },
         }) {
        std::fprintf(stderr, "startup-stages %s %s:", kind, measure);
        for (int stage = Loaded; stage < kStages; ++stage) {
            std::fprintf(stderr, " %s=%.2f", kStageNames[stage], median((*stages)[stage]));
        }
        std::fprintf(stderr, "\n");
    }
    std::printf("startup runs=%d program_ms=%.1f floor_ms=%.1f program_rss_peak_kib=%lld "
                "floor_rss_peak_kib=%lld\n",
        options.runs, median(programMs), median(floorMs),
        static_cast<long long>(median(programRss)), static_cast<long long>(median(floorRss)));
    return 0;
}

void usage()
{
    std::fprintf(stderr,
        "usage: bench_app stream|stream-display|stream-floor|idle|idle-floor|idle-open|idle-lost "
        "[--seconds "
        "S] [--warmup S]\n"
        "       bench_app startup [--runs N]\n"
        "stream and stream-floor read COM1..COM4 of $XDG_RUNTIME_DIR/rotavex (start\n"
        "rotavex-devsim first).\n");
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 3 && std::strcmp(argv[1], "startup-child") == 0) {
        return runStartupChild(argc, argv, std::strcmp(argv[2], "floor") == 0);
    }
    const std::optional<Options> options = parseOptions(argc, argv);
    if (!options) {
        usage();
        return 2;
    }
    if (options->mode == "stream" || options->mode == "stream-display") {
        return runStream(argc, argv, *options, options->mode == "stream-display");
    }
    if (options->mode == "stream-floor") {
        return runStreamFloor(argc, argv, *options);
    }
    if (options->mode == "idle" || options->mode == "idle-floor") {
        return runIdle(argc, argv, *options, options->mode == "idle-floor");
    }
    if (options->mode == "idle-open") {
        return runIdleOpen(argc, argv, *options);
    }
    if (options->mode == "idle-lost") {
        return runIdleLost(argc, argv, *options);
    }
    if (options->mode == "startup") {
        return runStartup(argv[0], *options);
    }
    usage();
    return 2;
}
