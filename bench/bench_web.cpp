// SPDX-License-Identifier: MIT
// The web scoreboard under 200 spectators on the loopback, for the bench table:
//   bench_web [--clients N] [--seconds S]
// runs the real frmMain (offscreen) in a Speed game with the web scoreboard on, and a second
// process of this executable (--serve-clients) holding N WebSocket clients of the live feed
// plus one that stops reading. Prints one line of key=value pairs:
//   latency_p50_ms / latency_p99_ms  a snapshot's way from the session to the last client
//   cpu_ms_per_s_none / cpu_ms_per_s_clients  the program's CPU per second without and with
//   kib_per_client  the program's memory growth per connected client
//   stall_max_ms  the longest event-loop stall while the clients connect and one stops reading
#include "link/player_links.h"
#include "main_window/frm_main.h"
#include "main_window/web_view.h"
#include "support/process_stats.h"
#include "support/pty_pair.h"
#include "support/stall_meter.h"
#include "web/web_scoreboard.h"
#include "web/web_settings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTest>
#include <QWebSocket>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <vector>

namespace
{

using process_stats::cpuSeconds;
using process_stats::statusKib;

// The monotonic clock in µs: the same in both processes.
qint64 nowUs()
{
    timespec t {};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return qint64(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

// The client side: N feed clients and one that never reads; prints "ready" once all are in,
// then for each stamped snapshot every client has, "stamp <slowest client's latency µs>".
int serveClients(int count, quint16 port)
{
    const QUrl url(QStringLiteral("ws://127.0.0.1:%1/feed").arg(port));
    std::vector<std::unique_ptr<QWebSocket>> clients;
    std::map<qint64, std::pair<int, qint64>> seen; // stamp -> clients that have it, slowest
    int open = 0;
    for (int i = 0; i < count; ++i) {
        auto client = std::make_unique<QWebSocket>();
        QObject::connect(client.get(), &QWebSocket::connected, [&] {
            if (++open == count) {
                std::printf("ready\n");
                std::fflush(stdout);
            }
        });
        QObject::connect(
            client.get(), &QWebSocket::textMessageReceived, [&, count](const QString &m) {
                if (m.size() > 4096) {
                    return; // the big snapshots that fill the stalled client's queue
                }
                const QString name = QJsonDocument::fromJson(
                    m.toUtf8())[QStringLiteral("players")][0][QStringLiteral("name")]
                                         .toString();
                if (!name.startsWith(QLatin1Char('t'))) {
                    return;
                }
                auto &[have, slowest] = seen[name.mid(1).toLongLong()];
                slowest = std::max(slowest, nowUs() - name.mid(1).toLongLong());
                if (++have == count) {
                    std::printf("stamp %lld\n", static_cast<long long>(slowest));
                    std::fflush(stdout);
                }
            });
        client->open(url);
        clients.push_back(std::move(client));
    }
    QTcpSocket stalled;
    stalled.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
    stalled.setReadBufferSize(1024);
    stalled.connectToHost(QHostAddress::LocalHost, port);
    stalled.write(
        "GET /feed HTTP/1.1\r\nHost: x\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
        "Sec-WebSocket-Version: 13\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n");
    return QCoreApplication::exec();
}

double median(std::vector<double> v, double q)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[std::min(v.size() - 1, static_cast<size_t>(q * double(v.size())))];
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QStringList args = [&] {
        QStringList list;
        for (int i = 1; i < argc; ++i) {
            list << QString::fromLocal8Bit(argv[i]);
        }
        return list;
    }();
    const auto option = [&](const char *name, int fallback) {
        const qsizetype at = args.indexOf(QLatin1String(name));
        return at >= 0 ? args.value(at + 1).toInt() : fallback;
    };
    if (args.contains(QStringLiteral("--serve-clients"))) {
        QCoreApplication app(argc, argv);
        return serveClients(option("--serve-clients", 200), quint16(option("--port", 0)));
    }
    QApplication app(argc, argv);
    const int count = option("--clients", 200);
    const int seconds = option("--seconds", 10);
    TempSettings settings;
    TempRuntimeDir runtime;
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    web::WriteWebSettings({ true, port, false });
    frmMain w;
    w.show();
    if (!QTest::qWaitFor([&] { return !w.web().address().isEmpty(); }, 10000)) {
        std::fprintf(stderr, "the web scoreboard did not start\n");
        return 1;
    }
    // A Speed game with four steady players, ticked by the board's own timer.
    w.findChild<QAbstractButton *>(QStringLiteral("OptMode0"))->click();
    w.findChild<QAbstractButton *>(QStringLiteral("CmdStart"))->click();
    QTimer samples;
    int step = 0;
    QObject::connect(&samples, &QTimer::timeout, &w, [&] {
        for (rotavex::PlayerSlot n = 1; n <= 4; ++n) {
            w.links().storeSample(n, 6000 + 1000 * n + (step % 7) * 10);
        }
        ++step;
    });
    samples.start(100);

    const auto cpuPerSecond = [&] {
        const double before = cpuSeconds();
        QTest::qWait(seconds * 1000);
        return 1000.0 * (cpuSeconds() - before) / seconds;
    };
    QTest::qWait(2000);
    const double cpuNone = cpuPerSecond();
    const qint64 rssBefore = statusKib("VmRSS");

    QProcess clients;
    clients.start(QCoreApplication::applicationFilePath(),
        { QStringLiteral("--serve-clients"), QString::number(count), QStringLiteral("--port"),
            QString::number(port) });
    std::vector<double> latencies;
    QByteArray said;
    bool ready = false;
    QObject::connect(&clients, &QProcess::readyReadStandardOutput, &w, [&] {
        said += clients.readAllStandardOutput();
        qsizetype end = 0;
        while ((end = said.indexOf('\n')) >= 0) {
            const QByteArray line = said.left(end);
            said.remove(0, end + 1);
            if (line == "ready") {
                ready = true;
            } else if (line.startsWith("stamp ")) {
                latencies.push_back(line.mid(6).toDouble() / 1000.0);
            }
        }
    });
    double stallMs = 0;
    qint64 rssClients = 0;
    {
        StallMeter meter;
        if (!QTest::qWaitFor([&] { return ready; }, 60000)) {
            std::fprintf(stderr, "the clients did not connect\n");
            return 1;
        }
        rssClients = statusKib("VmRSS");
        stallMs = double(meter.longestMs());
    }
    const double cpuClients = cpuPerSecond();
    // Stamped snapshots: the first player's name carries the time it was handed over.
    for (int i = 0; i < 200; ++i) {
        game::Snapshot stamped = w.session().snapshot();
        stamped.players[1].name = QStringLiteral("t%1").arg(nowUs());
        w.evening().web().showState(evening::StateFrom(stamped));
        QTest::qWait(50);
    }
    {
        // Big snapshots (long names) fill the stalled client's queue until it is dropped.
        StallMeter meter;
        game::Snapshot big = w.session().snapshot();
        for (rotavex::PlayerSlot n = 2; n <= 4; ++n) {
            big.players[n].name = QString(8000, QLatin1Char('x'));
        }
        for (int i = 0; i < 40; ++i) {
            big.players[1].name = QStringLiteral("big%1").arg(i);
            w.evening().web().showState(evening::StateFrom(big));
            QTest::qWait(50);
        }
        stallMs = std::max(stallMs, double(meter.longestMs()));
    }
    QTest::qWait(2000);
    clients.kill();
    clients.waitForFinished();
    std::printf("web clients=%d latency_p50_ms=%.2f latency_p99_ms=%.2f snapshots=%zu "
                "cpu_ms_per_s_none=%.2f cpu_ms_per_s_clients=%.2f kib_per_client=%.1f "
                "stall_max_ms=%.1f\n",
        count, median(latencies, 0.5), median(latencies, 0.99), latencies.size(), cpuNone,
        cpuClients, double(rssClients - rssBefore) / count, stallMs);
    return latencies.empty() ? 1 : 0;
}
