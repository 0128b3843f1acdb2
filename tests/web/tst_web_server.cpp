// SPDX-License-Identifier: MIT
#include "web/web_server.h"

#include <QRegularExpression>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QWebSocket>

#include <algorithm>
#include <memory>
#include <vector>

using namespace std::chrono_literals;

namespace
{

constexpr int kCap = 20000; // ms; generous, never a measure of speed

const QByteArray kFeedHandshake = "GET /feed HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
                                  "Connection: Upgrade\r\nSec-WebSocket-Version: 13\r\n"
                                  "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n";

const QByteArray kGet = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";

// A connection from 127.0.0.`source` (every 127/8 address is this computer's) to the server.
std::unique_ptr<QTcpSocket> connectFrom(int source, quint16 port)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->bind(QHostAddress(QStringLiteral("127.0.0.%1").arg(source)));
    socket->connectToHost(QHostAddress::LocalHost, port);
    return socket;
}

// The server's answer: once it is whole (headers and as many bytes as they announce), the
// switch to a WebSocket, or the connection closed.
QByteArray answerTo(quint16 port, const QByteArray &request, int source = 1)
{
    const auto socket = connectFrom(source, port);
    socket->write(request);
    QByteArray answer;
    const auto whole = [&] {
        answer += socket->readAll();
        const qsizetype end = answer.indexOf("\r\n\r\n");
        const qsizetype length = answer.indexOf("Content-Length: ");
        return socket->state() == QAbstractSocket::UnconnectedState
            || (end >= 0 && answer.startsWith("HTTP/1.1 101"))
            || (end >= 0 && length >= 0
                && answer.size() - end - 4 >= answer.mid(length + 16).split('\r').first().toInt());
    };
    return QTest::qWaitFor(whole, kCap) ? answer : QByteArray();
}

// A masked ping from a client, with the most payload a control frame may carry.
const QByteArray kPing = QByteArray("\x89\xfd\x01\x02\x03\x04", 6) + QByteArray(125, 'p');

enum class Attack {
    Silent, ///< connects and says nothing
    HalfUpgrade, ///< asks for the feed with "Upgrade: websocket" but no "Connection: Upgrade"
    PipelinedUnread, ///< asks for the script again and again, never reads an answer
    PingsUnread, ///< opens the feed, pings without end, never reads a pong
    PingsRead, ///< opens the feed, pings without end, reads every pong
};

// One hostile client: it connects, then goes on as its attack does whenever it can send more.
struct Attacker {
    Attack attack;
    std::unique_ptr<QTcpSocket> socket;
    bool connected = false;
    bool upgraded = false;

    void pump()
    {
        if (socket->state() != QAbstractSocket::ConnectedState) {
            return;
        }
        connected = true;
        upgraded = upgraded || socket->peek(4096).contains("\r\n\r\n"); // the switch came
        if (attack == Attack::PingsRead || attack == Attack::HalfUpgrade) {
            socket->read(1 << 20);
        }
        if (socket->bytesToWrite() > 16 * 1024) {
            return;
        }
        if (attack == Attack::PipelinedUnread) {
            socket->write(
                QByteArray("GET /scoreboard.js HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n").repeated(100));
        } else if (upgraded && (attack == Attack::PingsUnread || attack == Attack::PingsRead)) {
            socket->write(kPing.repeated(100));
        }
    }
};

} // namespace

Q_DECLARE_METATYPE(Attack)

class tst_WebServer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void answers_data();
    void answers();
    void attacks_data();
    void attacks();
    void busyWhenEveryPlaceIsAFeed();
    void protectedPortSaysWhy();
    void portInUse();
    void droppedClients_data();
    void droppedClients();
    void stalledFeedClientIsDropped();
};

void tst_WebServer::answers_data()
{
    QTest::addColumn<QByteArray>("request"); // %1: the server's port
    QTest::addColumn<QByteArray>("status");

    const auto get = [](const char *path, const char *host) {
        return "GET " + QByteArray(path) + " HTTP/1.1\r\nHost: " + QByteArray(host) + "\r\n\r\n";
    };
    const auto feed = [](const char *origin) {
        return "GET /feed HTTP/1.1\r\nHost: 127.0.0.1:%1\r\nOrigin: " + QByteArray(origin)
            + "\r\nUpgrade: websocket\r\nConnection: keep-alive, Upgrade\r\n"
              "Sec-WebSocket-Version: 13\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n";
    };
    QTest::newRow("the page") << get("/", "127.0.0.1:%1") << QByteArray("200");
    QTest::newRow("the overlay") << get("/overlay", "127.0.0.1") << QByteArray("200");
    QTest::newRow("the script") << get("/scoreboard.js", "127.0.0.1") << QByteArray("200");
    QTest::newRow("a post") << QByteArray("POST / HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                          "Content-Length: 2\r\n\r\nhi")
                            << QByteArray("405");
    QTest::newRow("a delete of the feed")
        << QByteArray("DELETE /feed HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n") << QByteArray("405");
    QTest::newRow("a file of the system") << get("/etc/passwd", "127.0.0.1") << QByteArray("404");
    QTest::newRow("up out of the assets")
        << get("/../../etc/passwd", "127.0.0.1") << QByteArray("404");
    QTest::newRow("the resource path itself")
        << get("/web/index.html", "127.0.0.1") << QByteArray("404");
    QTest::newRow("the feed without an upgrade") << get("/feed", "127.0.0.1") << QByteArray("404");
    QTest::newRow("the feed, upgrade without Connection")
        << QByteArray("GET /feed HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n\r\n")
        << QByteArray("400");

    QTest::newRow("host: localhost with port") << get("/", "localhost:%1") << QByteArray("200");
    QTest::newRow("host: under localhost") << get("/", "Board.LOCALHOST") << QByteArray("200");
    QTest::newRow("host: a LAN address") << get("/", "192.168.1.20:8080") << QByteArray("200");
    QTest::newRow("host: IPv6 in brackets") << get("/", "[::1]:%1") << QByteArray("200");
    QTest::newRow("host: a rebound name") << get("/", "evil.example:%1") << QByteArray("421");
    QTest::newRow("host: a loopback address as a subdomain")
        << get("/", "127.0.0.1.evil.example") << QByteArray("421");
    QTest::newRow("host: none") << QByteArray("GET / HTTP/1.1\r\n\r\n") << QByteArray("421");
    QTest::newRow("feed refused to another host name")
        << QByteArray(kFeedHandshake).replace("127.0.0.1", "evil.example") << QByteArray("421");

    QTest::newRow("feed without an origin") << kFeedHandshake << QByteArray("101");
    QTest::newRow("feed from its own page") << feed("http://127.0.0.1:%1") << QByteArray("101");
    QTest::newRow("feed from localhost") << feed("http://localhost:%1") << QByteArray("101");
    QTest::newRow("feed from another site") << feed("http://evil.example") << QByteArray("403");
    QTest::newRow("feed from another port") << feed("http://127.0.0.1:1") << QByteArray("403");
    QTest::newRow("feed from a sandboxed page") << feed("null") << QByteArray("403");
    QTest::newRow("an upgrade elsewhere than the feed")
        << QByteArray(kFeedHandshake).replace("/feed", "/") << QByteArray("404");
}

void tst_WebServer::answers()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, status);
    web::WebServer server;
    QCOMPARE(server.listenOn(QHostAddress::LocalHost, 0), QString());
    const QByteArray answer =
        answerTo(server.port(), request.replace("%1", QByteArray::number(server.port())));
    QVERIFY2(answer.startsWith("HTTP/1.1 " + status), answer.left(300).constData());
    const QByteArray head = answer.left(answer.indexOf("\r\n\r\n") + 2);
    // No version for anyone to look up known faults by.
    QVERIFY2(
        !QRegularExpression("\r\nServer:[^\r]*[0-9]").match(head).hasMatch(), head.constData());
    QVERIFY(!head.contains("Set-Cookie"));
    // Every answer, refusals included, forbids inline script, other sites and framing.
    QVERIFY2(status == "101"
            || head.contains(
                "Content-Security-Policy: default-src 'self'; frame-ancestors 'none'\r\n"),
        head.constData());
}

void tst_WebServer::attacks_data()
{
    QTest::addColumn<Attack>("attack");
    QTest::addColumn<int>("connections");
    QTest::addColumn<int>("sources"); // the attackers come from this many addresses
    QTest::addColumn<int>("requestMs"); // long: the attack's own bound must drop it, not age
    QTest::addColumn<int>("mostHeld"); // the server never holds more of them
    QTest::addColumn<bool>("dropped"); // every attacker is closed while it goes on
    QTest::addColumn<qint64>("backlog"); // no connection ever has more waiting (0: unchecked)

    QTest::newRow("silent, 256 from one address")
        << Attack::Silent << 256 << 1 << 60000 << 32 << false << qint64(0);
    QTest::newRow("silent, 256 from eight addresses: the oldest makes room")
        << Attack::Silent << 256 << 8 << 60000 << 256 << false << qint64(0);
    QTest::newRow("half upgrades, 256 from one address, answered and timed out")
        << Attack::HalfUpgrade << 256 << 1 << 1500 << 32 << true << qint64(0);
    QTest::newRow("half upgrades, 256 from eight addresses, answered and timed out")
        << Attack::HalfUpgrade << 256 << 8 << 1500 << 256 << true << qint64(0);
    QTest::newRow("pipelined GETs never read")
        << Attack::PipelinedUnread << 8 << 1 << 60000 << 8 << true << qint64(64 + 16) * 1024;
    QTest::newRow("pings, pongs never read")
        << Attack::PingsUnread << 4 << 1 << 60000 << 4 << true << qint64(512 + 32) * 1024;
    QTest::newRow("pings without end, pongs read")
        << Attack::PingsRead << 2 << 1 << 60000 << 2 << true << qint64(0);
}

void tst_WebServer::attacks()
{
    QFETCH(Attack, attack);
    QFETCH(int, connections);
    QFETCH(int, sources);
    QFETCH(int, requestMs);
    QFETCH(int, mostHeld);
    QFETCH(bool, dropped);
    QFETCH(qint64, backlog);

    web::ServerLimits limits;
    limits.requestTime = std::chrono::milliseconds(requestMs);
    web::WebServer server(limits);
    QCOMPARE(server.listenOn(QHostAddress::LocalHost, 0), QString());
    std::vector<Attacker> attackers;
    for (int i = 0; i < connections; ++i) {
        Attacker attacker { attack, connectFrom(2 + i % sources, server.port()) };
        // What the server sends stays in its own buffers, not in the kernel's.
        attacker.socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
        attacker.socket->setReadBufferSize(4096);
        if (attack == Attack::HalfUpgrade) {
            attacker.socket->write(
                "GET /feed HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n\r\n");
        } else if (attack == Attack::PingsUnread || attack == Attack::PingsRead) {
            attacker.socket->write(kFeedHandshake);
        }
        attackers.push_back(std::move(attacker));
    }
    QTimer pump;
    connect(&pump, &QTimer::timeout, this, [&] {
        for (Attacker &attacker : attackers) {
            attacker.pump();
        }
    });
    pump.start(5);
    int held = 0;
    qint64 largest = 0;
    const auto watch = [&](auto done) {
        return QTest::qWaitFor(
            [&] {
                held = std::max(held, server.connectionCount());
                largest = std::max(largest, server.largestBacklog());
                return done();
            },
            kCap);
    };
    QVERIFY(watch([&] {
        return std::all_of(attackers.cbegin(), attackers.cend(), [](auto &a) {
            return a.connected || a.socket->state() == 0;
        }) && server.connectionCount() >= std::min(connections, mostHeld);
    }));
    // The page still answers someone else meanwhile.
    QVERIFY(answerTo(server.port(), kGet, 250).startsWith("HTTP/1.1 200"));
    if (dropped) {
        QVERIFY(watch([&] {
            return std::all_of(attackers.cbegin(), attackers.cend(),
                [](const Attacker &a) { return a.socket->state() == 0; });
        }));
        QVERIFY(watch([&] { return server.connectionCount() == 0; }));
        QCOMPARE(server.feedCount(), 0);
    }
    QVERIFY2(held <= mostHeld + 1, qPrintable(QString::number(held))); // +1: the page's own GET
    QVERIFY2(backlog == 0 || largest <= backlog, qPrintable(QString::number(largest)));
}

void tst_WebServer::busyWhenEveryPlaceIsAFeed()
{
    web::ServerLimits limits;
    limits.maxClients = 4;
    web::WebServer server(limits);
    QCOMPARE(server.listenOn(QHostAddress::LocalHost, 0), QString());
    std::vector<std::unique_ptr<QWebSocket>> feeds;
    for (int i = 0; i < 4; ++i) {
        feeds.push_back(std::make_unique<QWebSocket>());
        feeds.back()->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/feed").arg(server.port())));
    }
    QTRY_COMPARE_WITH_TIMEOUT(server.feedCount(), 4, kCap);
    const QByteArray busy = answerTo(server.port(), kGet, 2);
    QVERIFY2(busy.startsWith("HTTP/1.1 503"), busy.constData());
    QVERIFY(
        busy.contains("Content-Security-Policy: default-src 'self'; frame-ancestors 'none'\r\n"));
    QCOMPARE(server.feedCount(), 4);
    // A place that frees up is taken again.
    feeds.pop_back();
    QTRY_COMPARE_WITH_TIMEOUT(server.connectionCount(), 3, kCap);
    QVERIFY(answerTo(server.port(), kGet, 2).startsWith("HTTP/1.1 200"));
}

void tst_WebServer::protectedPortSaysWhy()
{
    const QString message = web::WebServer::listenFailure(
        80, QAbstractSocket::SocketAccessError, QStringLiteral("The address is protected"));
    QVERIFY2(message.contains(QStringLiteral("below 1024, and only an administrator"))
            && message.contains(QStringLiteral("such as 8080")),
        qPrintable(message));
}

void tst_WebServer::portInUse()
{
    web::WebServer first;
    QCOMPARE(first.listenOn(QHostAddress::LocalHost, 0), QString());
    web::WebServer second;
    const QString message = second.listenOn(QHostAddress::LocalHost, first.port());
    QVERIFY2(message.contains(QStringLiteral("Port %1 is already in use").arg(first.port())),
        qPrintable(message));
    // The first goes on serving.
    QVERIFY(answerTo(first.port(), kGet).startsWith("HTTP/1.1 200"));
}

void tst_WebServer::droppedClients_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");

    QTest::newRow("says nothing") << QList<QByteArray> {};
    QTest::newRow("a header every half second, never done")
        << QList<QByteArray> { "GET / HTTP/1.1\r\n", "Host: x\r\n", "A: 1\r\n", "B: 2\r\n",
               "C: 3\r\n", "D: 4\r\n", "E: 5\r\n", "F: 6\r\n", "G: 7\r\n", "H: 8\r\n" };
    QTest::newRow("headers larger than allowed") << QList<QByteArray> {
        "GET / HTTP/1.1\r\nHost: x\r\nX: " + QByteArray(64 * 1024, 'a') + "\r\n\r\n"
    };
}

void tst_WebServer::droppedClients()
{
    QFETCH(QList<QByteArray>, pieces);
    web::ServerLimits limits;
    limits.requestTime = 1500ms;
    web::WebServer server(limits);
    QCOMPARE(server.listenOn(QHostAddress::LocalHost, 0), QString());
    const auto client = connectFrom(1, server.port());
    QByteArray answer;
    for (const QByteArray &piece : pieces) {
        client->write(piece);
        QTest::qWait(500);
        answer += client->readAll();
    }
    QTRY_COMPARE_WITH_TIMEOUT(client->state(), QAbstractSocket::UnconnectedState, kCap);
    QVERIFY2(!(answer + client->readAll()).contains("200 OK"), "a slow request was served");
    QTRY_COMPARE_WITH_TIMEOUT(server.connectionCount(), 0, kCap);
}

void tst_WebServer::stalledFeedClientIsDropped()
{
    web::WebServer server;
    QCOMPARE(server.listenOn(QHostAddress::LocalHost, 0), QString());
    // A client that asks for the feed and then never reads again.
    QTcpSocket stalled;
    stalled.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
    stalled.setReadBufferSize(1024);
    stalled.connectToHost(QHostAddress::LocalHost, server.port());
    stalled.write(kFeedHandshake);
    QWebSocket reader;
    QString last;
    connect(&reader, &QWebSocket::textMessageReceived, this, [&](const QString &m) { last = m; });
    reader.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/feed").arg(server.port())));
    QTRY_COMPARE_WITH_TIMEOUT(server.feedCount(), 2, kCap);

    QByteArray message = QByteArray(64 * 1024, 'x');
    for (int tick = 0; tick < 200 && server.feedCount() == 2; ++tick) {
        message.replace(0, 8, QByteArray::number(tick).rightJustified(8, '0'));
        server.publish(message);
        QTRY_COMPARE_WITH_TIMEOUT(last.left(8), QString::fromLatin1(message.left(8)), kCap);
    }
    QCOMPARE(server.feedCount(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(server.connectionCount(), 1, kCap); // its place is free again
    // The reader kept every tick and goes on getting them.
    server.publish("after");
    QTRY_COMPARE_WITH_TIMEOUT(last, QStringLiteral("after"), kCap);
}

QTEST_GUILESS_MAIN(tst_WebServer)
#include "tst_web_server.moc"
