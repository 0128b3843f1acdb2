// SPDX-License-Identifier: MIT
#include "web/web_server.h"

#include <QTcpSocket>
#include <QTest>
#include <QWebSocket>

#include <memory>
#include <vector>

using namespace std::chrono_literals;

namespace
{

constexpr int kCap = 10000; // ms; generous, never a measure of speed

const QByteArray kFeedHandshake = "GET /feed HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
                                  "Connection: Upgrade\r\nSec-WebSocket-Version: 13\r\n"
                                  "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n";

std::unique_ptr<QTcpSocket> connectTo(quint16 port)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, port);
    return socket;
}

// The server's answer: once it is whole (headers and as many bytes as they announce) or the
// connection closed.
QByteArray answerTo(quint16 port, const QByteArray &request)
{
    const auto socket = connectTo(port);
    socket->write(request);
    QByteArray answer;
    const auto whole = [&] {
        answer += socket->readAll();
        const qsizetype end = answer.indexOf("\r\n\r\n");
        const qsizetype length = answer.indexOf("Content-Length: ");
        return socket->state() == QAbstractSocket::UnconnectedState
            || (end >= 0 && length >= 0
                && answer.size() - end - 4 >= answer.mid(length + 16).split('\r').first().toInt());
    };
    return QTest::qWaitFor(whole, kCap) ? answer : QByteArray();
}

} // namespace

class tst_WebServer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void answers_data();
    void answers();
    void busyBeyondTheLimit();
    void portInUse();
    void droppedClients_data();
    void droppedClients();
    void stalledFeedClientIsDropped();
};

void tst_WebServer::answers_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("status");

    QTest::newRow("the page") << QByteArray("GET / HTTP/1.1\r\nHost: x\r\n\r\n")
                              << QByteArray("200");
    QTest::newRow("the overlay") << QByteArray("GET /overlay HTTP/1.1\r\nHost: x\r\n\r\n")
                                 << QByteArray("200");
    QTest::newRow("the script") << QByteArray("GET /scoreboard.js HTTP/1.1\r\nHost: x\r\n\r\n")
                                << QByteArray("200");
    QTest::newRow("a post") << QByteArray(
        "POST / HTTP/1.1\r\nHost: x\r\nContent-Length: 2\r\n\r\nhi")
                            << QByteArray("405");
    QTest::newRow("a delete of the feed")
        << QByteArray("DELETE /feed HTTP/1.1\r\nHost: x\r\n\r\n") << QByteArray("405");
    QTest::newRow("a file of the system")
        << QByteArray("GET /etc/passwd HTTP/1.1\r\nHost: x\r\n\r\n") << QByteArray("404");
    QTest::newRow("up out of the assets")
        << QByteArray("GET /../../etc/passwd HTTP/1.1\r\nHost: x\r\n\r\n") << QByteArray("404");
    QTest::newRow("the resource path itself")
        << QByteArray("GET /web/index.html HTTP/1.1\r\nHost: x\r\n\r\n") << QByteArray("404");
    QTest::newRow("the feed without an upgrade")
        << QByteArray("GET /feed HTTP/1.1\r\nHost: x\r\n\r\n") << QByteArray("404");
}

void tst_WebServer::answers()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, status);
    web::WebServer server;
    QCOMPARE(server.listenOn(QHostAddress::LocalHost, 0), QString());
    const QByteArray answer = answerTo(server.port(), request);
    QVERIFY2(answer.startsWith("HTTP/1.1 " + status), answer.left(200).constData());
    // Every answer forbids inline script and other sites' sources.
    QVERIFY(answer.contains("Content-Security-Policy: default-src 'self'\r\n"));
    QVERIFY(!answer.contains("Set-Cookie"));
}

void tst_WebServer::busyBeyondTheLimit()
{
    web::ServerLimits limits;
    limits.requestTime = 60s; // idle places are kept for the whole test
    web::WebServer server(limits);
    QCOMPARE(server.listenOn(QHostAddress::LocalHost, 0), QString());
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < 256; ++i) {
        clients.push_back(connectTo(server.port()));
    }
    QTRY_COMPARE_WITH_TIMEOUT(server.connectionCount(), 256, kCap);
    QVERIFY(
        answerTo(server.port(), "GET / HTTP/1.1\r\nHost: x\r\n\r\n").startsWith("HTTP/1.1 503"));
    // A place that frees up is taken again.
    clients.pop_back();
    QTRY_COMPARE_WITH_TIMEOUT(server.connectionCount(), 255, kCap);
    QVERIFY(
        answerTo(server.port(), "GET / HTTP/1.1\r\nHost: x\r\n\r\n").startsWith("HTTP/1.1 200"));
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
    QVERIFY(answerTo(first.port(), "GET / HTTP/1.1\r\nHost: x\r\n\r\n").startsWith("HTTP/1.1 200"));
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
    const auto client = connectTo(server.port());
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
