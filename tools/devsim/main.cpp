// SPDX-License-Identifier: MIT
#include "profile.h"
#include "signal_watcher.h"
#include "simulator.h"
#include "virtual_port.h"

#include "link/port_names.h"
#include "version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTextStream>
#include <QTimer>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace
{

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

struct Options {
    devsim::Profile profile;
    int players = 4;
    int firstPort = devsim::kFirstPortNumber;
    std::optional<std::chrono::milliseconds> duration;
};

void printError(const QString &message)
{
    std::fprintf(stderr, "rotavex-devsim: %s\n", qPrintable(message));
}

// Fills `options` from the command line; the error text when something is wrong.
std::optional<QString> readOptions(const QCommandLineParser &parser,
    const QCommandLineOption &profile, const QCommandLineOption &rpm,
    const QCommandLineOption &players, const QCommandLineOption &firstPort,
    const QCommandLineOption &duration, Options &options)
{
    if (!parser.positionalArguments().isEmpty()) {
        return QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first());
    }
    const auto kind = devsim::profileFromName(parser.value(profile));
    if (!kind) {
        return QStringLiteral("unknown profile \"%1\" (demo, steady or noisy)")
            .arg(parser.value(profile));
    }
    options.profile.kind = *kind;

    bool ok = false;
    options.players = parser.value(players).toInt(&ok);
    if (!ok || options.players < 1 || options.players > devsim::kLastPortNumber) {
        return QStringLiteral("--players takes 1 to %1").arg(devsim::kLastPortNumber);
    }
    options.firstPort = parser.value(firstPort).toInt(&ok);
    if (!ok || options.firstPort < devsim::kFirstPortNumber
        || options.firstPort + options.players - 1 > devsim::kLastPortNumber) {
        return QStringLiteral("--first-port %1 with %2 players goes beyond COM%3")
            .arg(parser.value(firstPort))
            .arg(options.players)
            .arg(devsim::kLastPortNumber);
    }

    if (parser.isSet(rpm)) {
        if (options.profile.kind == devsim::ProfileKind::Demo) {
            return QStringLiteral("--rpm applies to the steady and noisy profiles only");
        }
        auto list = devsim::parseRpmList(parser.value(rpm));
        if (!list) {
            return QStringLiteral("--rpm takes a comma-separated list of speeds, each 0 or %1 "
                                  "to 7500000")
                .arg(devsim::kMinEncodableRpm);
        }
        if (static_cast<int>(list->size()) > options.players) {
            return QStringLiteral("--rpm lists %1 speeds for %2 players")
                .arg(list->size())
                .arg(options.players);
        }
        options.profile.rpm = std::move(*list);
    }

    if (parser.isSet(duration)) {
        const double seconds = parser.value(duration).toDouble(&ok);
        if (!ok || !(seconds > 0.0) || seconds > 1e6) {
            return QStringLiteral("--duration takes a number of seconds above 0");
        }
        options.duration = std::chrono::milliseconds(std::llround(seconds * 1000.0));
    }
    return std::nullopt;
}

// Without XDG_RUNTIME_DIR (a root shell, a container, ssh) there is no runtime folder, and Qt
// would warn about it on every lookup: make a private one (mode 0700) for this run and tell
// where it is, so Rotavex can be pointed at it. Removed again when the simulator ends.
class PrivateRuntime
{
public:
    PrivateRuntime()
    {
        if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
            return;
        }
        QByteArray pattern = QFile::encodeName(QDir::tempPath()) + "/rotavex-runtime-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            return;
        }
        m_path = pattern;
        qputenv("XDG_RUNTIME_DIR", m_path);
    }
    ~PrivateRuntime()
    {
        if (!m_path.isEmpty()) {
            QDir(QFile::decodeName(m_path)).removeRecursively();
        }
    }
    PrivateRuntime(const PrivateRuntime &) = delete;
    PrivateRuntime &operator=(const PrivateRuntime &) = delete;
    /// The folder made for this run, "" when XDG_RUNTIME_DIR was set.
    QString path() const { return QFile::decodeName(m_path); }

private:
    QByteArray m_path;
};

// The folder the program looks for virtual ports in, created private to the user.
std::optional<QString> portFolder(QString *error)
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty()) {
        *error = QStringLiteral("no runtime folder (is XDG_RUNTIME_DIR set?)");
        return std::nullopt;
    }
    // The very folder the program searches, so the two cannot disagree.
    const QString folder = port_names::VirtualPortDir();
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST) {
        *error = QStringLiteral("cannot create %1: %2")
                     .arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
        return std::nullopt;
    }
    if (!QFileInfo(folder).isDir()) {
        *error = QStringLiteral("%1 is not a folder").arg(folder);
        return std::nullopt;
    }
    return folder;
}

QString describe(const Options &options, int player)
{
    if (options.profile.kind == devsim::ProfileKind::Demo) {
        return QStringLiteral("player %1").arg(player);
    }
    return QStringLiteral("player %1, %2 rpm")
        .arg(player)
        .arg(devsim::rpmAt(options.profile, player, {}));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("rotavex-devsim"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(rotavex::kVersionText));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulates up to 16 spinning devices for Rotavex. Each device is a pseudo-terminal\n"
        "linked as <runtime dir>/rotavex/COMn (runtime dir: $XDG_RUNTIME_DIR), which Rotavex\n"
        "offers as port n. It streams frames \"<\", high, low, \">\" carrying the count of 8 us\n"
        "steps per revolution (7,500,000 / rpm), one per revolution but at most 240 a second\n"
        "(9600 baud); a device at 0 rpm is silent. Stop with Ctrl+C: the links are removed.\n"
        "\n"
        "Profiles:\n"
        "  demo    players spin up one after another, vary smoothly, player 4 stops for six\n"
        "          seconds and spins up again, all spin down; repeats every 60 seconds.\n"
        "  steady  each player at a constant speed (--rpm).\n"
        "  noisy   constant speeds (--rpm) with spikes, out-of-range frames, garbage bytes\n"
        "          and broken frames mixed in."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption profile(QStringLiteral("profile"),
        QStringLiteral("Profile: demo, steady or noisy."), QStringLiteral("name"),
        QStringLiteral("demo"));
    const QCommandLineOption rpm(QStringLiteral("rpm"),
        QStringLiteral("Speeds of players 1, 2, ... for steady and noisy, comma-separated, each "
                       "0 or 115 to 7500000; the last one also serves the remaining players. "
                       "Default 6000,7500,9000,10500."),
        QStringLiteral("list"));
    const QCommandLineOption players(QStringLiteral("players"),
        QStringLiteral("Number of devices, 1 to 16."), QStringLiteral("n"), QStringLiteral("4"));
    const QCommandLineOption firstPort(QStringLiteral("first-port"),
        QStringLiteral("Port number of player 1's link, COM<k>."), QStringLiteral("k"),
        QStringLiteral("1"));
    const QCommandLineOption duration(QStringLiteral("duration"),
        QStringLiteral("Stop by itself after this many seconds."), QStringLiteral("seconds"));
    parser.addOptions({ profile, rpm, players, firstPort, duration });
    if (!parser.parse(QCoreApplication::arguments())) {
        printError(parser.errorText());
        return kExitUsage;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        parser.showHelp(0);
    }
    if (parser.isSet(QStringLiteral("version"))) {
        parser.showVersion();
    }
    Options options;
    if (const auto error =
            readOptions(parser, profile, rpm, players, firstPort, duration, options)) {
        printError(*error);
        return kExitUsage;
    }

    // Signals are watched before the first link exists, so no link outlives an early Ctrl+C.
    SignalWatcher signalWatcher;
    if (!signalWatcher.isValid()) {
        printError(QStringLiteral("cannot watch for signals"));
        return kExitFailure;
    }
    const PrivateRuntime privateRuntime;
    QString error;
    const auto folder = portFolder(&error);
    if (!folder) {
        printError(error);
        return kExitFailure;
    }
    std::vector<std::unique_ptr<VirtualPort>> ports;
    for (int i = 0; i < options.players; ++i) {
        auto port = VirtualPort::create(options.firstPort + i, *folder, &error);
        if (!port) {
            printError(error);
            return kExitFailure;
        }
        ports.push_back(std::move(port));
    }

    QTextStream out(stdout);
    out << "rotavex-devsim: profile " << devsim::profileName(options.profile.kind) << ", "
        << options.players << (options.players == 1 ? " device" : " devices") << "\n";
    for (int i = 0; i < options.players; ++i) {
        const VirtualPort &port = *ports[static_cast<std::size_t>(i)];
        out << "  COM" << port.number() << ": " << port.linkPath() << " -> " << port.devicePath()
            << "  (" << describe(options, i + 1) << ")"
            << (port.replacedExisting() ? "  [replaced an existing link]" : "") << "\n";
    }
    if (!privateRuntime.path().isEmpty()) {
        out << "XDG_RUNTIME_DIR is not set: the virtual ports are in " << *folder
            << " until the simulator stops; start Rotavex with XDG_RUNTIME_DIR="
            << privateRuntime.path() << " to find them.\n";
    }
    out << "Serving; press Ctrl+C to stop.\n";
    out.flush();

    QObject::connect(
        &signalWatcher, &SignalWatcher::stopRequested, &app, [] { QCoreApplication::quit(); });
    if (options.duration) {
        QTimer::singleShot(*options.duration, &app, [] { QCoreApplication::quit(); });
    }
    int result = 0;
    {
        Simulator simulator(options.profile, std::move(ports));
        simulator.start();
        result = QCoreApplication::exec();
    }
    // Only now that the links are gone: a reader of our output that has quit must not cost
    // them (its closed pipe is ignored, see SignalWatcher).
    out << "Stopped; links removed.\n";
    return result;
}
