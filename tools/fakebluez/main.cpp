// SPDX-License-Identifier: MIT
#include "fake_bluez.h"
#include "profile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QSocketNotifier>

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace
{

// Some clients (Qt Bluetooth among them) run the service's executable with --version and wait
// for the answer; the fake stands for a current service.
constexpr auto kServiceVersion = "5.66";

const char *kHelp = R"(Usage: rotavex-fakebluez [options]
A fake Bluetooth service (org.bluez) for Rotavex's tests and demo. It serves the bus in
DBUS_SYSTEM_BUS_ADDRESS, e.g. a private one from `dbus-daemon --session --fork --print-address`.
Devices SPINNER-1.. (addresses 00:11:22:33:44:01..) stream the simulator's frames once the
program connects to them. Prints "ready" once it owns the name.

Options:
  --devices N        paired serial devices (default 4)
  --unpaired M       further devices, known but not paired (default 0)
  --headset          a paired device without the serial port profile
  --no-adapter       no adapter at all
  --powered-off      the adapter is switched off
  --profile NAME     demo (default), steady or noisy, as rotavex-devsim
  --rpm LIST         steady and noisy speeds, as rotavex-devsim
  --nearby N         further devices seen nearby, neither paired nor serial (up to 200000)
  --churn MS         every MS ms a nearby device leaves or returns and a signal strength changes
  --slow-start MS    answers no call made in the first MS ms
  --malformed SIG    lists its objects as SIG instead: a{sv}, (is), a{oas} or a{oa{sv}}
  --version          prints the service version it stands for

Commands on standard input, one a line (each answered "ok" or "error ..."):
  vanish N | return N     device N disappears from the service / comes back
  out N | in N            device N goes out of range (connections fail) / comes back in
  unpair N | pair N       device N loses / gains its pairing
  rename N NAME           device N gets a new name
  power off | power on    switches the adapter
  hang | answer           stops answering every call / answers again
  foreign new N socket|file  a second client on the bus hands the program's profile a connection
                          for device N (a socket or a regular file, holding frames of 15000 rpm)
  foreign disconnect N    a second client asks the profile to drop device N
  foreign release         a second client releases the profile
  hand-file N             the service itself hands device N's connection over as a regular file
  refused                 "ok" when the program answered the last of these calls with an error
  quit
)";

int fail(const char *message)
{
    std::fprintf(stderr, "rotavex-fakebluez: %s\n", message);
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s\n", kServiceVersion);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return 0;
        }
    }
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption devices(
        QStringLiteral("devices"), QString(), QStringLiteral("n"), QStringLiteral("4"));
    const QCommandLineOption unpaired(
        QStringLiteral("unpaired"), QString(), QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption headset(QStringLiteral("headset"));
    const QCommandLineOption noAdapter(QStringLiteral("no-adapter"));
    const QCommandLineOption poweredOff(QStringLiteral("powered-off"));
    const QCommandLineOption profile(
        QStringLiteral("profile"), QString(), QStringLiteral("name"), QStringLiteral("demo"));
    const QCommandLineOption rpm(QStringLiteral("rpm"), QString(), QStringLiteral("list"));
    const QCommandLineOption nearby(
        QStringLiteral("nearby"), QString(), QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption churn(
        QStringLiteral("churn"), QString(), QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption slowStart(
        QStringLiteral("slow-start"), QString(), QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption malformed(
        QStringLiteral("malformed"), QString(), QStringLiteral("signature"));
    parser.addOptions({ devices, unpaired, headset, noAdapter, poweredOff, profile, rpm, nearby,
        churn, slowStart, malformed });
    if (!parser.parse(QCoreApplication::arguments()) || !parser.positionalArguments().isEmpty()) {
        return fail("bad arguments (see --help)");
    }
    FakeBluez::Options options;
    bool ok = false;
    options.pairedDevices = parser.value(devices).toInt(&ok);
    if (!ok || options.pairedDevices < 0 || options.pairedDevices > 16) {
        return fail("--devices takes 0 to 16");
    }
    options.unpairedDevices = parser.value(unpaired).toInt(&ok);
    if (!ok || options.unpairedDevices < 0
        || options.pairedDevices + options.unpairedDevices > 16) {
        return fail("--unpaired takes 0 to 16 minus the paired devices");
    }
    options.nearbyDevices = parser.value(nearby).toInt(&ok);
    if (!ok || options.nearbyDevices < 0 || options.nearbyDevices > 200000) {
        return fail("--nearby takes 0 to 200000");
    }
    options.churnMs = parser.value(churn).toInt(&ok);
    if (!ok || options.churnMs < 0) {
        return fail("--churn takes a number of ms");
    }
    options.slowStartMs = parser.value(slowStart).toInt(&ok);
    if (!ok || options.slowStartMs < 0) {
        return fail("--slow-start takes a number of ms");
    }
    options.malformed = parser.value(malformed);
    if (parser.isSet(malformed) && !FakeBluez::malformedSignatures().contains(options.malformed)) {
        return fail("--malformed takes a{sv}, (is), a{oas} or a{oa{sv}}");
    }
    options.headset = parser.isSet(headset);
    options.adapter = !parser.isSet(noAdapter);
    options.powered = !parser.isSet(poweredOff);
    const auto kind = devsim::profileFromName(parser.value(profile));
    if (!kind) {
        return fail("unknown profile (demo, steady or noisy)");
    }
    options.profile.kind = *kind;
    if (parser.isSet(rpm)) {
        auto list = devsim::parseRpmList(parser.value(rpm));
        if (!list) {
            return fail("--rpm takes a comma-separated list of speeds");
        }
        options.profile.rpm = std::move(*list);
    }

    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        return fail("no bus at DBUS_SYSTEM_BUS_ADDRESS");
    }
    FakeBluez fake(bus, options);
    if (!bus.registerVirtualObject(QStringLiteral("/"), &fake, QDBusConnection::SubPath)) {
        return fail("cannot export the objects");
    }
    // Only now: a client that sees the name must find every object in place.
    if (!bus.registerService(QStringLiteral("org.bluez"))) {
        return fail("cannot own org.bluez");
    }
    std::printf("ready\n");
    std::fflush(stdout);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&pending, &fake, &input] {
        char buffer[512];
        const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (count <= 0) {
            // Whoever drives the fake has gone: so does the fake.
            input.setEnabled(false);
            QCoreApplication::quit();
            return;
        }
        pending.append(buffer, count);
        qsizetype end = 0;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(pending.left(end)).trimmed();
            pending.remove(0, end + 1);
            if (line == QStringLiteral("quit")) {
                QCoreApplication::quit();
                return;
            }
            const QString error = fake.command(line);
            std::printf(
                "%s\n", error.isEmpty() ? "ok" : qPrintable(QStringLiteral("error ") + error));
            std::fflush(stdout);
        }
    });
    return QCoreApplication::exec();
}
