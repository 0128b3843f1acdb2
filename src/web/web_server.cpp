// SPDX-License-Identifier: MIT
#include "web/web_server.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QHash>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>

#include <utility>
#include <vector>

namespace web
{

namespace
{
    struct Asset {
        QByteArray type;
        QByteArray body;
    };

    // The compiled-in files by the path they are served at; nothing else is ever served.
    const QHash<QString, Asset> &Assets()
    {
        static const QHash<QString, Asset> assets = [] {
            const auto load = [](const char *name, const char *type) {
                QFile file(QStringLiteral(":/web/") + QLatin1String(name));
                file.open(QIODevice::ReadOnly);
                return Asset { QByteArray(type), file.readAll() };
            };
            return QHash<QString, Asset> {
                { QStringLiteral("/"), load("index.html", "text/html; charset=utf-8") },
                { QStringLiteral("/overlay"), load("overlay.html", "text/html; charset=utf-8") },
                { QStringLiteral("/scoreboard.css"),
                    load("scoreboard.css", "text/css; charset=utf-8") },
                { QStringLiteral("/overlay.css"), load("overlay.css", "text/css; charset=utf-8") },
                { QStringLiteral("/scoreboard.js"),
                    load("scoreboard.js", "text/javascript; charset=utf-8") },
            };
        }();
        return assets;
    }

    const QByteArray kBusy = "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain\r\n"
                             "Content-Length: 24\r\nConnection: close\r\n\r\n"
                             "Too many spectators now.";
} // namespace

/// Accepts connections up to the limit (one more is told 503 and closed), bounds what each may
/// send before its request is whole, and closes a connection that is neither answered nor taken
/// over by the live feed in time: a client that sends nothing, or slowly, cannot hold a place.
class LimitedTcpServer : public QTcpServer
{
public:
    LimitedTcpServer(const ServerLimits &limits, QObject *parent)
        : QTcpServer(parent)
        , m_limits(limits)
    {
        m_sweep.setInterval(250);
        connect(&m_sweep, &QTimer::timeout, this, &LimitedTcpServer::sweep);
        m_sweep.start();
    }

    /// `socket` was handed to the live feed: its time limit no longer applies.
    void keep(QTcpSocket *socket)
    {
        for (Open &open : m_open) {
            if (open.socket == socket) {
                open.deadline = QDeadlineTimer(QDeadlineTimer::Forever);
            }
        }
    }

    int connectionCount()
    {
        forgetClosed();
        return static_cast<int>(m_open.size());
    }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            socket->deleteLater();
            return;
        }
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        if (connectionCount() >= m_limits.maxClients) {
            socket->write(kBusy);
            socket->disconnectFromHost();
            QTimer::singleShot(m_limits.requestTime, socket, &QTcpSocket::abort);
            return;
        }
        // Unread request bytes stay in this buffer until the request is whole; once it is full
        // nothing more is read, so an oversized request never completes and times out.
        socket->setReadBufferSize(m_limits.maxRequestBytes);
        // A modest kernel buffer keeps a stalled feed client's backlog where the queue limit
        // sees it.
        socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, 64 * 1024);
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_open.push_back({ socket, QDeadlineTimer(m_limits.requestTime) });
        addPendingConnection(socket);
        Q_EMIT newConnection();
    }

private:
    struct Open {
        QPointer<QTcpSocket> socket;
        QDeadlineTimer deadline;
    };

    void forgetClosed()
    {
        std::erase_if(m_open, [](const Open &open) { return open.socket.isNull(); });
    }

    void sweep()
    {
        forgetClosed();
        for (const Open &open : m_open) {
            if (open.deadline.hasExpired()) {
                open.socket->abort();
                open.socket->deleteLater();
            }
        }
    }

    ServerLimits m_limits;
    std::vector<Open> m_open;
    QTimer m_sweep;
};

WebServer::WebServer(ServerLimits limits, QObject *parent)
    : QAbstractHttpServer(parent)
    , m_limits(limits)
{
    connect(this, &QAbstractHttpServer::newWebSocketConnection, this, &WebServer::takeFeedClients);
}

WebServer::~WebServer() = default;

QString WebServer::listenOn(const QHostAddress &address, quint16 port)
{
    auto *tcp = new LimitedTcpServer(m_limits, this);
    tcp->setMaxPendingConnections(m_limits.maxClients);
    // A room of phones joining at once must not overflow the kernel's queue of new connections
    // (they would wait seconds to try again).
    tcp->setListenBacklogSize(m_limits.maxClients);
    if (!tcp->listen(address, port)) {
        const QString reason = tcp->serverError() == QAbstractSocket::AddressInUseError
            ? tr("Port %1 is already in use by another program. The scoreboard is not on the "
                 "network; choose another port.")
                  .arg(port)
            : tr("The scoreboard cannot be put on the network at port %1: %2")
                  .arg(port)
                  .arg(tcp->errorString());
        delete tcp;
        return reason;
    }
    m_tcp = tcp;
    bind(m_tcp);
    return {};
}

quint16 WebServer::port() const { return m_tcp ? m_tcp->serverPort() : 0; }

int WebServer::connectionCount() const { return m_tcp ? m_tcp->connectionCount() : 0; }

// Every answer forbids inline script and foreign sources, caching and sniffing.
void WebServer::respond(QTcpSocket *socket, const QHttpServerRequest &request,
    const QByteArray &type, const QByteArray &body, int status)
{
    QHttpServerResponder responder = makeResponder(request, socket);
    responder.write(body,
        { { "Content-Type", type }, { "Content-Security-Policy", "default-src 'self'" },
            { "X-Content-Type-Options", "nosniff" }, { "Cache-Control", "no-store" },
            { "Referrer-Policy", "no-referrer" }, { "Allow", "GET" } },
        static_cast<QHttpServerResponder::StatusCode>(status));
}

bool WebServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    if (request.method() != QHttpServerRequest::Method::Get) {
        respond(socket, request, "text/plain", "Only GET is served here.",
            int(QHttpServerResponder::StatusCode::MethodNotAllowed));
        return true;
    }
    const QString path = request.url().path();
    if (request.value("upgrade").compare("websocket", Qt::CaseInsensitive) == 0) {
        // Accepted here, the connection goes on as a WebSocket; elsewhere it gets 404.
        if (path != QLatin1String("/feed")) {
            return false;
        }
        m_tcp->keep(socket);
        return true;
    }
    const auto asset = Assets().constFind(path);
    if (asset == Assets().cend()) {
        return false;
    }
    respond(socket, request, asset->type, asset->body, int(QHttpServerResponder::StatusCode::Ok));
    return true;
}

void WebServer::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket)
{
    respond(socket, request, "text/plain", "Not found.",
        int(QHttpServerResponder::StatusCode::NotFound));
}

void WebServer::takeFeedClients()
{
    while (hasPendingWebSocketConnections()) {
        QWebSocket *client = nextPendingWebSocketConnection().release();
        client->setParent(this);
        // The feed only speaks; what a client says is never kept.
        client->setMaxAllowedIncomingFrameSize(1024);
        client->setMaxAllowedIncomingMessageSize(1024);
        connect(client, &QWebSocket::disconnected, this, [this, client] { dropFeed(client); });
        m_feeds.append(client);
        if (!m_latest.isEmpty()) {
            client->sendTextMessage(m_latest);
        }
        Q_EMIT feedCountChanged(feedCount());
    }
}

void WebServer::dropFeed(QWebSocket *client)
{
    if (m_feeds.removeOne(client)) {
        client->abort();
        client->deleteLater();
        Q_EMIT feedCountChanged(feedCount());
    }
}

void WebServer::publish(const QByteArray &json)
{
    m_latest = QString::fromUtf8(json);
    const QList<QWebSocket *> feeds = m_feeds; // dropping changes the list
    for (QWebSocket *client : feeds) {
        if (client->bytesToWrite() > m_limits.maxQueuedBytes) {
            dropFeed(client);
        } else {
            client->sendTextMessage(m_latest);
        }
    }
}

} // namespace web
