// SPDX-License-Identifier: MIT
#pragma once

#include <QAbstractHttpServer>
#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QString>

#include <chrono>

class QTcpSocket;
class QWebSocket;

namespace web
{

class LimitedTcpServer;

/// What one web scoreboard lets its clients do; the defaults are the program's.
struct ServerLimits {
    int maxClients = 256; ///< open connections; one more gets 503 and is closed
    /// Bytes a client may send before its request is whole (request line, headers, body).
    qint64 maxRequestBytes = 16 * 1024;
    /// A connection not taken over by the live feed is closed this long after it was made.
    std::chrono::milliseconds requestTime { 5000 };
    /// Bytes waiting to go to one feed client; a client further behind is dropped.
    qint64 maxQueuedBytes = 512 * 1024;
};

/// The read-only web scoreboard: the pages and their style and script (compiled in), and the
/// live feed at /feed (WebSocket). GET only; everything else is 405, an unknown path 404.
/// Lives on the thread it was made on and is only called there.
class WebServer : public QAbstractHttpServer
{
    Q_OBJECT
public:
    explicit WebServer(ServerLimits limits = {}, QObject *parent = nullptr);
    ~WebServer() override;

    /// Listens on `address` at `port` (0: any free port). "" when listening, else the reason
    /// in words for the user (a port in use says so).
    QString listenOn(const QHostAddress &address, quint16 port);
    /// The port listened on, 0 when not listening.
    quint16 port() const;
    /// Connections open now (pages and feed).
    int connectionCount() const;
    /// Clients of the live feed now.
    int feedCount() const { return static_cast<int>(m_feeds.size()); }

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
    void takeFeedClients();
    void dropFeed(QWebSocket *client);
    void respond(QTcpSocket *socket, const QHttpServerRequest &request, const QByteArray &type,
        const QByteArray &body, int status);

    ServerLimits m_limits;
    LimitedTcpServer *m_tcp = nullptr;
    QList<QWebSocket *> m_feeds;
    QString m_latest;
};

} // namespace web
