// SPDX-License-Identifier: MIT
#include "web/web_server.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QHash>
#include <QHostInfo>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#include <QWebSocket>

#include <QWebSocketServer>

#include <algorithm>
#include <functional>
#include <utility>

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

    // Every answer forbids inline script, foreign sources and being framed (a stream program
    // loads the overlay as a page of its own), caching and sniffing.
    const QByteArray kPolicy = "default-src 'self'; frame-ancestors 'none'";

    const QByteArray kBusy = "HTTP/1.1 503 Service Unavailable\r\n"
                             "Content-Type: text/plain\r\n"
                             "Content-Security-Policy: "
        + kPolicy
        + "\r\n"
          "X-Frame-Options: DENY\r\nX-Content-Type-Options: nosniff\r\n"
          "Cache-Control: no-store\r\nReferrer-Policy: no-referrer\r\nAllow: GET\r\n"
          "Content-Length: 24\r\nConnection: close\r\n\r\n"
          "Too many spectators now.";

    // Who a connection counts against for the share of one address; an IPv4-mapped address is
    // its IPv4 address. A whole IPv6 address, not its /64: every phone on a venue's network
    // shares the network's /64.
    QByteArray SourceOf(const QHostAddress &address)
    {
        bool isIPv4 = false;
        const quint32 ipv4 = address.toIPv4Address(&isIPv4);
        if (isIPv4) {
            return "4:" + QByteArray::number(ipv4);
        }
        const Q_IPV6ADDR ipv6 = address.toIPv6Address();
        return "6:" + QByteArray(reinterpret_cast<const char *>(ipv6.c), 16);
    }

    struct HostName {
        QString host; ///< lower case, IPv6 without brackets
        int port = -1; ///< -1: none given
    };

    // A Host header: "name", "name:port", "192.0.2.1:8080", "[::1]:8080" or a bare IPv6
    // address; false when it is none of these.
    bool SplitHost(const QByteArray &text, HostName *out)
    {
        QByteArray host = text.trimmed();
        QByteArray port;
        bool hasPort = false;
        if (host.startsWith('[')) {
            const qsizetype end = host.indexOf(']');
            if (end < 0) {
                return false;
            }
            const QByteArray rest = host.mid(end + 1);
            if (!rest.isEmpty()) {
                if (!rest.startsWith(':')) {
                    return false;
                }
                hasPort = true;
                port = rest.mid(1);
            }
            host = host.mid(1, end - 1);
            if (QHostAddress(QString::fromLatin1(host)).protocol()
                != QAbstractSocket::IPv6Protocol) {
                return false;
            }
        } else if (host.count(':') == 1) {
            const qsizetype colon = host.indexOf(':');
            hasPort = true;
            port = host.mid(colon + 1);
            host = host.left(colon);
        }
        if (hasPort) {
            bool ok = false;
            const uint number = port.toUInt(&ok);
            if (!ok || number > 65535) {
                return false;
            }
            out->port = int(number);
        }
        out->host = QString::fromLatin1(host).toLower();
        if (out->host.endsWith(QLatin1Char('.'))) {
            out->host.chop(1);
        }
        return !out->host.isEmpty();
    }

    bool IsAddress(const QString &host) { return !QHostAddress(host).isNull(); }

    bool IsLoopbackName(const QString &host)
    {
        return host == QLatin1String("localhost") || host.endsWith(QLatin1String(".localhost"))
            || QHostAddress(host).isLoopback();
    }

    bool SameHost(const QString &a, const QString &b)
    {
        const QHostAddress first(a);
        const QHostAddress second(b);
        return !first.isNull() && !second.isNull() ? first.isEqual(second) : a == b;
    }

    // What the checks need of a request: from Qt's parser, or from the raw head of a
    // connection's first request before Qt sees it.
    struct Ask {
        bool get = false;
        QByteArray path;
        QByteArray host;
        QByteArray origin;
        QByteArray upgrade;
        QByteArray connection;
    };

    Ask AskOf(const QHttpServerRequest &request)
    {
        return { request.method() == QHttpServerRequest::Method::Get, request.url().path().toUtf8(),
            request.value("host"), request.value("origin"), request.value("upgrade"),
            request.value("connection") };
    }

    // The request line and headers up to (not including) the blank line.
    Ask AskOf(const QByteArray &head)
    {
        Ask ask;
        const QList<QByteArray> lines = head.split('\n');
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        ask.get = requestLine.value(0) == "GET";
        ask.path = requestLine.value(1).split('?').value(0);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon < 0) {
                continue;
            }
            const QByteArray name = lines[i].left(colon).trimmed().toLower();
            const QByteArray value = lines[i].mid(colon + 1).trimmed();
            for (auto [field, target] : { std::pair { "host", &ask.host },
                     std::pair { "origin", &ask.origin }, std::pair { "upgrade", &ask.upgrade },
                     std::pair { "connection", &ask.connection } }) {
                if (name == field) {
                    *target = value;
                }
            }
        }
        return ask;
    }

    // A real WebSocket handshake: "Upgrade: websocket" with "upgrade" among the Connection
    // header's tokens.
    bool IsUpgrade(const Ask &ask)
    {
        if (ask.upgrade.trimmed().compare("websocket", Qt::CaseInsensitive) != 0) {
            return false;
        }
        const QList<QByteArray> tokens = ask.connection.split(',');
        return std::any_of(tokens.cbegin(), tokens.cend(), [](const QByteArray &token) {
            return token.trimmed().compare("upgrade", Qt::CaseInsensitive) == 0;
        });
    }

    struct Refusal {
        int status = 0; ///< 0: the request is served
        QByteArray text;
    };

    // Another host name is what a page of another site uses once its name points here (DNS
    // rebinding); another site's page may open our feed from a visitor's browser. Neither may
    // take a place.
    Refusal RefusalOf(const Ask &request, const QString &hostName, quint16 ownPort)
    {
        HostName host;
        if (!SplitHost(request.host, &host)
            || !(IsAddress(host.host) || IsLoopbackName(host.host) || host.host == hostName
                || host.host == hostName + QLatin1String(".local"))) {
            return { 421, "This scoreboard does not answer to that host name." };
        }
        if (!request.get) {
            return { 405, "Only GET is served here." };
        }
        const bool upgrade = IsUpgrade(request);
        if (!upgrade && request.upgrade.trimmed().compare("websocket", Qt::CaseInsensitive) == 0) {
            return { 400, "A WebSocket needs \"Connection: Upgrade\"." };
        }
        const QByteArray origin = request.origin.trimmed();
        if (upgrade && !origin.isEmpty()) {
            const QUrl url(QString::fromLatin1(origin));
            const QString from = url.host().toLower();
            const int fromPort = url.port(80);
            const bool own = url.scheme() == QLatin1String("http")
                && ((SameHost(from, host.host) && fromPort == (host.port < 0 ? 80 : host.port))
                    || (IsLoopbackName(from) && fromPort == ownPort));
            if (!own) {
                return { 403, "The feed is for this scoreboard's own pages." };
            }
        }
        return {};
    }
} // namespace

/// Accepts connections up to the limits (all, and per address), bounds what each may send
/// before its request is whole and the answers that wait for it, and closes a connection that
/// is not a feed client in time: a client that sends nothing, slowly, or never finishes its
/// upgrade cannot hold a place. A connection whose first request is whole goes to the feed when
/// `isFeed` accepts that request's head, else to the pages.
class LimitedTcpServer : public QTcpServer
{
public:
    LimitedTcpServer(const ServerLimits &limits, std::function<bool(const QByteArray &)> isFeed,
        QWebSocketServer *feed, QObject *parent)
        : QTcpServer(parent)
        , m_limits(limits)
        , m_isFeed(std::move(isFeed))
        , m_feed(feed)
    {
        m_sweep.setInterval(250);
        connect(&m_sweep, &QTimer::timeout, this, &LimitedTcpServer::sweep);
        m_sweep.start();
    }

    /// The connection from `peer`:`port` became a feed client: its time limit ends and its
    /// backlog is the feed's to watch. Its socket, or nullptr when it is not known.
    QTcpSocket *adopt(const QHostAddress &peer, quint16 port)
    {
        for (Open &open : m_open) {
            if (open.socket && open.socket->peerPort() == port
                && open.socket->peerAddress().isEqual(peer)) {
                open.deadline = QDeadlineTimer(QDeadlineTimer::Forever);
                open.feed = true;
                return open.socket;
            }
        }
        return nullptr;
    }

    int connectionCount()
    {
        forgetClosed();
        return static_cast<int>(m_open.size());
    }

    qint64 largestBacklog()
    {
        forgetClosed();
        qint64 largest = 0;
        for (const Open &open : m_open) {
            largest = std::max(largest, open.socket->bytesToWrite());
        }
        return largest;
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
        forgetClosed();
        QByteArray source = SourceOf(socket->peerAddress());
        const auto fromSource = std::count_if(m_open.cbegin(), m_open.cend(),
            [&source](const Open &open) { return open.source == source; });
        if (fromSource >= m_limits.maxClientsPerAddress
            || (static_cast<int>(m_open.size()) >= m_limits.maxClients && !makeRoom())) {
            socket->write(kBusy);
            socket->disconnectFromHost();
            QTimer::singleShot(m_limits.requestTime, socket, &QTcpSocket::abort);
            return;
        }
        // Unread request bytes stay in this buffer until the request is whole; once it is full
        // nothing more is read, so an oversized request never completes and times out. It also
        // bounds what one read hands on, so a feed client's backlog is checked often enough.
        socket->setReadBufferSize(m_limits.maxRequestBytes);
        // A modest kernel buffer keeps a stalled client's backlog where the limits see it.
        socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, 64 * 1024);
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_open.push_back({ socket, QDeadlineTimer(m_limits.requestTime), std::move(source) });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { route(socket); });
    }

private:
    struct Open {
        QPointer<QTcpSocket> socket;
        QDeadlineTimer deadline;
        QByteArray source;
        bool feed = false;
    };

    // Nothing is read until the first request's head is whole (the read buffer's bound and the
    // deadline hold meanwhile), so the feed's handshake never passes through the page server.
    void route(QTcpSocket *socket)
    {
        const QByteArray head = socket->peek(m_limits.maxRequestBytes);
        const qsizetype end = head.indexOf("\r\n\r\n");
        if (end < 0) {
            return;
        }
        disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
        if (m_isFeed(head.left(end))) {
            // From here the WebSocket server owns it, as it will the WebSocket made of it.
            socket->disconnect();
            m_feed->handleConnection(socket);
            return;
        }
        addPendingConnection(socket);
        Q_EMIT newConnection();
        Q_EMIT socket->readyRead(); // what is buffered is the page server's to read
    }

    void forgetClosed()
    {
        std::erase_if(m_open, [](const Open &open) { return open.socket.isNull(); });
    }

    // A full house makes room for a newcomer by closing its oldest connection that is not a
    // feed client: a page is served in moments, so the oldest is most likely one that only
    // holds its place. False when every place is a feed client.
    bool makeRoom()
    {
        const auto oldest =
            std::find_if(m_open.begin(), m_open.end(), [](const Open &open) { return !open.feed; });
        if (oldest == m_open.end()) {
            return false;
        }
        QTcpSocket *socket = oldest->socket;
        m_open.erase(oldest);
        socket->abort();
        socket->deleteLater();
        return true;
    }

    void sweep()
    {
        forgetClosed();
        for (const Open &open : m_open) {
            if (open.deadline.hasExpired()
                || (!open.feed && open.socket->bytesToWrite() > m_limits.maxUnsentAnswerBytes)) {
                open.socket->abort();
                open.socket->deleteLater();
            }
        }
    }

    ServerLimits m_limits;
    std::function<bool(const QByteArray &)> m_isFeed;
    QWebSocketServer *m_feed;
    std::vector<Open> m_open; ///< oldest first
    QTimer m_sweep;
};

WebServer::WebServer(ServerLimits limits, QObject *parent)
    : QAbstractHttpServer(parent)
    , m_limits(limits)
    , m_hostName(QHostInfo::localHostName().toLower())
    // Our own WebSocket server: Qt's own would name the program's version to every client.
    , m_feedServer(
          new QWebSocketServer(QStringLiteral("Rotavex"), QWebSocketServer::NonSecureMode, this))
{
    m_feedServer->setMaxPendingConnections(m_limits.maxClients);
    connect(m_feedServer, &QWebSocketServer::newConnection, this, &WebServer::takeFeedClients);
    // Pings a feed client sends and never reads the answers to grow its backlog while nothing
    // is published: it is watched all the time, not only when there is news.
    m_watch.setInterval(250);
    connect(&m_watch, &QTimer::timeout, this, &WebServer::watchFeeds);
    m_watch.start();
}

WebServer::~WebServer() = default;

QString WebServer::listenFailure(
    quint16 port, QAbstractSocket::SocketError error, const QString &detail)
{
    if (error == QAbstractSocket::AddressInUseError) {
        return tr("Port %1 is already in use by another program. The scoreboard is not on the "
                  "network; choose another port.")
            .arg(port);
    }
    if (error == QAbstractSocket::SocketAccessError && port < 1024) {
        return tr("Port %1 is below 1024, and only an administrator's programs may use those "
                  "ports. The scoreboard is not on the network; choose a port from 1024 up, "
                  "such as 8080.")
            .arg(port);
    }
    return tr("The scoreboard cannot be put on the network at port %1: %2").arg(port).arg(detail);
}

QString WebServer::listenOn(const QHostAddress &address, quint16 port)
{
    const auto isFeed = [this](const QByteArray &head) {
        const Ask ask = AskOf(head);
        return IsUpgrade(ask) && ask.path == "/feed"
            && RefusalOf(ask, m_hostName, this->port()).status == 0;
    };
    auto *tcp = new LimitedTcpServer(m_limits, isFeed, m_feedServer, this);
    tcp->setMaxPendingConnections(m_limits.maxClients);
    // A room of phones joining at once must not overflow the kernel's queue of new connections
    // (they would wait seconds to try again).
    tcp->setListenBacklogSize(m_limits.maxClients);
    if (!tcp->listen(address, port)) {
        const QString reason = listenFailure(port, tcp->serverError(), tcp->errorString());
        delete tcp;
        return reason;
    }
    m_tcp = tcp;
    bind(m_tcp);
    return {};
}

quint16 WebServer::port() const { return m_tcp ? m_tcp->serverPort() : 0; }

int WebServer::connectionCount() const { return m_tcp ? m_tcp->connectionCount() : 0; }

qint64 WebServer::largestBacklog() const { return m_tcp ? m_tcp->largestBacklog() : 0; }

void WebServer::respond(QTcpSocket *socket, const QHttpServerRequest &request,
    const QByteArray &type, const QByteArray &body, int status)
{
    // A client that asks on without reading what it was given gets nothing more: its requests
    // are no longer read, and it is closed once the page server is done with this one.
    if (socket->bytesToWrite() > m_limits.maxUnsentAnswerBytes) {
        disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
        QMetaObject::invokeMethod(socket, &QAbstractSocket::abort, Qt::QueuedConnection);
        return;
    }
    QHttpServerResponder responder = makeResponder(request, socket);
    responder.write(body,
        { { "Content-Type", type }, { "Content-Security-Policy", kPolicy },
            { "X-Frame-Options", "DENY" }, { "X-Content-Type-Options", "nosniff" },
            { "Cache-Control", "no-store" }, { "Referrer-Policy", "no-referrer" },
            { "Allow", "GET" } },
        static_cast<QHttpServerResponder::StatusCode>(status));
}

bool WebServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    const Ask ask = AskOf(request);
    const Refusal refused = RefusalOf(ask, m_hostName, port());
    if (IsUpgrade(ask)) {
        // An accepted feed handshake went to the WebSocket server before this; what comes here
        // (refused, or not a connection's first request) is answered by missingHandler().
        return false;
    }
    if (refused.status != 0) {
        respond(socket, request, "text/plain", refused.text, refused.status);
        return true;
    }
    const auto asset = Assets().constFind(request.url().path());
    if (asset == Assets().cend()) {
        return false;
    }
    respond(socket, request, asset->type, asset->body, int(QHttpServerResponder::StatusCode::Ok));
    return true;
}

void WebServer::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket)
{
    const Refusal refused = RefusalOf(AskOf(request), m_hostName, port());
    if (refused.status != 0) {
        respond(socket, request, "text/plain", refused.text, refused.status);
        return;
    }
    respond(socket, request, "text/plain", "Not found.",
        int(QHttpServerResponder::StatusCode::NotFound));
}

void WebServer::takeFeedClients()
{
    while (m_feedServer->hasPendingConnections()) {
        QWebSocket *client = m_feedServer->nextPendingConnection();
        client->setParent(this);
        // The feed only speaks; what a client says is never kept.
        client->setMaxAllowedIncomingFrameSize(1024);
        client->setMaxAllowedIncomingMessageSize(1024);
        connect(client, &QWebSocket::disconnected, this, [this, client] { dropFeed(client); });
        connect(client, &QWebSocket::bytesWritten, this, [this, client](qint64 bytes) {
            const auto feed = std::find_if(m_feeds.begin(), m_feeds.end(),
                [client](const Feed &f) { return f.client == client; });
            if (feed != m_feeds.end()) {
                feed->written += bytes;
            }
        });
        if (QTcpSocket *socket = m_tcp->adopt(client->peerAddress(), client->peerPort())) {
            // After the client's frames are read (and its pings answered), whether it keeps up.
            connect(
                socket, &QTcpSocket::readyRead, client,
                [this, client] {
                    const auto feed = std::find_if(m_feeds.begin(), m_feeds.end(),
                        [client](const Feed &f) { return f.client == client; });
                    if (feed != m_feeds.end() && !keepUp(*feed)) {
                        dropFeed(client);
                    }
                },
                Qt::QueuedConnection);
        }
        m_feeds.push_back({ client, 0, 0, {} });
        m_feeds.back().since.start();
        if (!m_latest.isEmpty()) {
            send(m_feeds.back());
        }
        Q_EMIT feedCountChanged(feedCount());
    }
}

void WebServer::send(Feed &feed)
{
    const qint64 bytes = feed.client->sendTextMessage(m_latest);
    // At most 10 bytes of header for each frame the message is cut into.
    const qint64 frames = 1 + std::max<qint64>(bytes - 1, 0) / feed.client->outgoingFrameSize();
    feed.ours += bytes + 10 * frames;
}

// Behind by more than the limit, or made to send more answers to its own frames (pings) than
// its allowance: either way the client costs more than a spectator does.
bool WebServer::keepUp(Feed &feed)
{
    const qint64 queued = feed.client->bytesToWrite();
    const qint64 replies = feed.written + queued - feed.ours;
    const qint64 allowed = m_limits.controlReplyBytes
        + m_limits.controlReplyBytesPerSecond * feed.since.elapsed() / 1000;
    return queued <= m_limits.maxQueuedBytes && replies <= allowed;
}

void WebServer::watchFeeds()
{
    QList<QWebSocket *> behind;
    for (Feed &feed : m_feeds) {
        if (!keepUp(feed)) {
            behind.append(feed.client);
        }
    }
    for (QWebSocket *client : behind) {
        dropFeed(client);
    }
}

void WebServer::dropFeed(QWebSocket *client)
{
    const auto feed = std::find_if(
        m_feeds.begin(), m_feeds.end(), [client](const Feed &f) { return f.client == client; });
    if (feed == m_feeds.end()) {
        return;
    }
    m_feeds.erase(feed);
    client->abort();
    client->deleteLater();
    Q_EMIT feedCountChanged(feedCount());
}

void WebServer::publish(const QByteArray &json)
{
    m_latest = QString::fromUtf8(json);
    QList<QWebSocket *> behind;
    for (Feed &feed : m_feeds) {
        if (keepUp(feed)) {
            send(feed);
        } else {
            behind.append(feed.client);
        }
    }
    for (QWebSocket *client : behind) {
        dropFeed(client);
    }
}

} // namespace web
