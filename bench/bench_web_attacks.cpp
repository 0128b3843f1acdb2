// SPDX-License-Identifier: MIT
// The web server's memory under hostile clients on the loopback, for the bench table:
//   bench_web_attacks [--seconds S] [--only ATTACK]
// serves with the program's WebServer on a thread of its own (as the program does), measures
// its resident memory idle, then runs each attack from a second process of this executable
// (--attack NAME) for S seconds, sampling VmRSS every 20 ms and asking for the page from an
// address of its own every 250 ms. Prints one line of key=value pairs:
//   idle_rss_kib                   the serving process once its pages and feed were used once
//   <attack>_peak_kib              its highest VmRSS during the attack
//   <attack>_first_half_peak_kib   the same over the attack's first half only: memory that is
//                                  flat under the attack peaks there already
//   <attack>_pages                 plain GETs answered 200 / asked during the attack
#include "support/process_stats.h"
#include "web/web_server.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpSocket>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWebSocket>

#include <malloc.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace
{

using process_stats::statusKib;

struct AttackKind {
    const char *name;
    int connections;
    int sources; ///< loopback addresses the connections come from
};

// The three that grew the program without bound before: pongs never read, answers never read,
// upgrades never finished (each client reconnects at once when it is closed).
constexpr AttackKind kAttacks[] = {
    { "pings_unread", 2, 1 },
    { "pipelined_unread", 100, 4 },
    { "half_upgrades", 256, 8 },
};

const QByteArray kHandshake = "GET /feed HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
                              "Connection: Upgrade\r\nSec-WebSocket-Version: 13\r\n"
                              "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n";

// The attacking process: its clients, each reconnected as soon as it is closed.
int attack(const QString &name, quint16 port)
{
    AttackKind kind {};
    for (const AttackKind &k : kAttacks) {
        if (name == QLatin1String(k.name)) {
            kind = k;
        }
    }
    QByteArray ping("\x89\xfd\x01\x02\x03\x04", 6);
    ping.append(QByteArray(125, 'p'));
    const QByteArray pings = ping.repeated(100);
    const QByteArray gets =
        QByteArray("GET /scoreboard.js HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n").repeated(100);
    struct Client {
        std::unique_ptr<QTcpSocket> socket;
        int source = 0;
        bool started = false;
    };
    std::vector<Client> clients(kind.connections);
    const auto open = [port](Client &client) {
        client.socket = std::make_unique<QTcpSocket>();
        client.socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
        client.socket->setReadBufferSize(4096);
        client.socket->bind(QHostAddress(QStringLiteral("127.0.0.%1").arg(client.source)));
        client.socket->connectToHost(QHostAddress::LocalHost, port);
        client.started = false;
    };
    for (int i = 0; i < kind.connections; ++i) {
        clients[i].source = 2 + i % kind.sources;
        open(clients[i]);
    }
    QTimer pump;
    QObject::connect(&pump, &QTimer::timeout, [&] {
        for (Client &client : clients) {
            QTcpSocket &socket = *client.socket;
            if (socket.state() == QAbstractSocket::UnconnectedState) {
                open(client);
                continue;
            }
            if (socket.state() != QAbstractSocket::ConnectedState
                || socket.bytesToWrite() > 16 * 1024) {
                continue;
            }
            if (name == QLatin1String("half_upgrades")) {
                if (!client.started) {
                    socket.write(
                        "GET /feed HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n\r\n");
                }
            } else if (name == QLatin1String("pipelined_unread")) {
                socket.write(gets);
            } else if (!client.started) {
                socket.write(kHandshake);
            } else if (socket.peek(4096).contains("\r\n\r\n")) {
                socket.write(pings); // the answer to the handshake came; pongs are never read
                continue;
            }
            client.started = true;
        }
    });
    pump.start(2);
    return QCoreApplication::exec();
}

// One plain GET from an address no attacker uses: true when answered 200.
bool pageAnswers(quint16 port)
{
    QTcpSocket socket;
    socket.bind(QHostAddress(QStringLiteral("127.0.0.250")));
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.write("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    QByteArray answer;
    const bool done = QTest::qWaitFor(
        [&] {
            answer += socket.readAll();
            return answer.size() >= 12 || socket.state() == QAbstractSocket::UnconnectedState;
        },
        2000);
    return done && answer.startsWith("HTTP/1.1 200");
}

// The highest VmRSS in each half of `ms`, sampled every 20 ms; pages asked for every 250 ms.
std::pair<qint64, qint64> peaksDuring(int ms, quint16 port, int *asked, int *answered)
{
    QElapsedTimer clock;
    clock.start();
    std::pair<qint64, qint64> peaks { statusKib("VmRSS"), 0 };
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout, [&] {
        qint64 &peak = clock.elapsed() < ms / 2 ? peaks.first : peaks.second;
        peak = std::max(peak, statusKib("VmRSS"));
    });
    sample.start(20);
    while (clock.elapsed() < ms) {
        if (asked) {
            ++*asked;
            *answered += pageAnswers(port) ? 1 : 0;
        }
        QTest::qWait(250);
    }
    peaks.second = std::max(peaks.second, statusKib("VmRSS"));
    return peaks;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const auto option = [&](const char *name) {
        const qsizetype at = args.indexOf(QLatin1String(name));
        return at >= 0 ? args.value(at + 1) : QString();
    };
    if (!option("--attack").isEmpty()) {
        return attack(option("--attack"), quint16(option("--port").toUInt()));
    }
    const int seconds = option("--seconds").isEmpty() ? 10 : option("--seconds").toInt();

    QThread serving;
    serving.start();
    std::unique_ptr<web::WebServer> server;
    quint16 port = 0;
    auto *home = new QObject; // the serving thread's object to run calls on
    home->moveToThread(&serving);
    QObject::connect(&serving, &QThread::finished, home, &QObject::deleteLater);
    QMetaObject::invokeMethod(
        home,
        [&] {
            server = std::make_unique<web::WebServer>();
            server->listenOn(QHostAddress::LocalHost, 0);
            port = server->port();
        },
        Qt::BlockingQueuedConnection);

    // Idle, once the pages, the script and the feed have each been served.
    pageAnswers(port);
    {
        QWebSocket feed;
        feed.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/feed").arg(port)));
        if (!QTest::qWaitFor(
                [&] { return feed.state() == QAbstractSocket::ConnectedState; }, 5000)) {
            std::fprintf(stderr, "the feed did not open\n");
            return 1;
        }
    }
    QTest::qWait(1000);
    const qint64 idle = peaksDuring(2000, port, nullptr, nullptr).second;
    std::printf("web-attacks idle_rss_kib=%lld", static_cast<long long>(idle));
    const QString only = option("--only");
    for (const AttackKind &kind : kAttacks) {
        if (!only.isEmpty() && only != QLatin1String(kind.name)) {
            continue;
        }
        QProcess attacker;
        attacker.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        attacker.start(QCoreApplication::applicationFilePath(),
            { QStringLiteral("--attack"), QLatin1String(kind.name), QStringLiteral("--port"),
                QString::number(port) });
        attacker.waitForStarted();
        int asked = 0;
        int answered = 0;
        const auto [early, late] = peaksDuring(seconds * 1000, port, &asked, &answered);
        attacker.kill();
        attacker.waitForFinished();
        std::printf(" %s_peak_kib=%lld %s_first_half_peak_kib=%lld %s_pages=%d/%d", kind.name,
            static_cast<long long>(std::max(early, late)), kind.name, static_cast<long long>(early),
            kind.name, answered, asked);
        std::fflush(stdout);
        // Every attacker's place is free again before the next, and what the allocator kept
        // of the last is given back, so one attack's figure does not carry the one before.
        QTest::qWait(6000);
        QMetaObject::invokeMethod(
            home, [] { malloc_trim(0); }, Qt::BlockingQueuedConnection);
        malloc_trim(0);
    }
    std::printf("\n");
    QMetaObject::invokeMethod(
        home, [&] { server.reset(); }, Qt::BlockingQueuedConnection);
    serving.quit();
    serving.wait();
    return 0;
}
