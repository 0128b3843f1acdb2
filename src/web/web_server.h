// SPDX-License-Identifier: MIT
#pragma once

#include <QAbstractHttpServer>
#include <QAbstractSocket>
#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <chrono>
#include <vector>

class QTcpSocket;
class QWebSocket;
class QWebSocketServer;

namespace web
{

class LimitedTcpServer;

/// What one web scoreboard lets its clients do; the defaults are the program's.
struct ServerLimits {
    /// Open connections. One more takes the place of the oldest connection that is not a feed
    /// client; when every place is a feed client it gets 503 and is closed.
    int maxClients = 256;
    /// Open connections from one address; one more gets 503, so a single device cannot take
    /// every place.
    int maxClientsPerAddress = 32;
    /// Bytes a client may send before its request is whole (request line, headers, body).
    qint64 maxRequestBytes = 16 * 1024;
    /// A connection not yet a feed client (its WebSocket open) is closed this long after it
    /// was made.
    std::chrono::milliseconds requestTime { 5000 };
    /// Bytes waiting to go to one feed client; a client further behind is dropped.
    qint64 maxQueuedBytes = 512 * 1024;
    /// Bytes of answers waiting to go to one page connection (every file together is about
    /// 10 KiB); a client that asks on without reading them is dropped.
    qint64 maxUnsentAnswerBytes = 64 * 1024;
    /// What a feed client's own frames (pings) may make us send: this much at once, and this
    /// much more per second connected; a client that makes us send more is dropped.
    qint64 controlReplyBytes = 16 * 1024;
    qint64 controlReplyBytesPerSecond = 1024;
};

/// The read-only web scoreboard: the pages and their style and script (compiled in), and the
/// live feed at /feed (WebSocket). GET only; everything else is 405, an unknown path 404, a
/// request for another host name 421 and a feed asked for by another site's page 403.
/// Lives on the thread it was made on and is only called there.
class WebServer : public QAbstractHttpServer
{
    Q_OBJECT
public:
    explicit WebServer(ServerLimits limits = {}, QObject *parent = nullptr);
    ~WebServer() override;

    /// Listens on `address` at `port` (0: any free port). "" when listening, else the reason
    /// in words for the user (see listenFailure()).
    QString listenOn(const QHostAddress &address, quint16 port);
    /// Why listening at `port` failed with `error`, in words for the user: a port in use and a
    /// port below 1024 (administrator's only) say so; anything else gives Qt's `detail`.
    static QString listenFailure(
        quint16 port, QAbstractSocket::SocketError error, const QString &detail);
    /// The port listened on, 0 when not listening.
    quint16 port() const;
    /// Connections open now (pages and feed).
    int connectionCount() const;
    /// Clients of the live feed now.
    int feedCount() const { return static_cast<int>(m_feeds.size()); }
    /// The most bytes waiting to go to any one connection now.
    qint64 largestBacklog() const;

public Q_SLOTS:
    /// Sends `json` to every feed client and to each new one as it joins. A client whose
    /// unsent bytes exceed the limit is dropped instead.
    void publish(const QByteArray &json);

Q_SIGNALS:
    /// The number of feed clients changed.
    void feedCountChanged(int clients);

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    struct Feed {
        QWebSocket *client = nullptr;
        qint64 written = 0; ///< bytes the client has taken so far
        qint64 ours = 0; ///< bytes of our messages handed to it, frame headers included
        QElapsedTimer since;
    };
    void takeFeedClients();
    void send(Feed &feed);
    bool keepUp(Feed &feed);
    void watchFeeds();
    void dropFeed(QWebSocket *client);
    void respond(QTcpSocket *socket, const QHttpServerRequest &request, const QByteArray &type,
        const QByteArray &body, int status);

    ServerLimits m_limits;
    LimitedTcpServer *m_tcp = nullptr;
    std::vector<Feed> m_feeds;
    QString m_latest;
    QString m_hostName; ///< this computer's name, lower case
    QWebSocketServer *m_feedServer;
    QTimer m_watch;
};

} // namespace web
