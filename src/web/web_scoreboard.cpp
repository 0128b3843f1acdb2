// SPDX-License-Identifier: MIT
#include "web/web_scoreboard.h"

#include "web/feed_json.h"

#include <QNetworkInterface>
#include <QThread>

#include <memory>

namespace web
{

/// Owns the server on the serving thread; made and deleted there.
class WebWorker : public QObject
{
public:
    explicit WebWorker(ServerLimits limits)
        : m_limits(limits)
    {
    }
    QString listen(quint16 port, bool allInterfaces)
    {
        m_server = std::make_unique<WebServer>(m_limits);
        return m_server->listenOn(
            allInterfaces ? QHostAddress::Any : QHostAddress::LocalHost, port);
    }
    void publish(const QByteArray &json)
    {
        if (m_server) {
            m_server->publish(json);
        }
    }

private:
    ServerLimits m_limits;
    std::unique_ptr<WebServer> m_server;
};

QString AddressFor(quint16 port, bool allInterfaces)
{
    QString host = QStringLiteral("127.0.0.1");
    if (allInterfaces) {
        QString ipv6;
        for (const QNetworkInterface &nic : QNetworkInterface::allInterfaces()) {
            const auto flags = nic.flags();
            if (!flags.testFlag(QNetworkInterface::IsUp)
                || flags.testFlag(QNetworkInterface::IsLoopBack)) {
                continue;
            }
            for (const QNetworkAddressEntry &entry : nic.addressEntries()) {
                const QHostAddress ip = entry.ip();
                if (ip.protocol() == QAbstractSocket::IPv4Protocol
                    && host.startsWith(QLatin1String("127."))) {
                    host = ip.toString();
                } else if (ip.protocol() == QAbstractSocket::IPv6Protocol && !ip.isLinkLocal()
                    && ipv6.isEmpty()) {
                    ipv6 = QStringLiteral("[%1]").arg(ip.toString());
                }
            }
        }
        if (host.startsWith(QLatin1String("127.")) && !ipv6.isEmpty()) {
            host = ipv6;
        }
    }
    return QStringLiteral("http://%1:%2/").arg(host).arg(port);
}

WebScoreboard::WebScoreboard(ServerLimits limits, QObject *parent)
    : QObject(parent)
    , m_limits(limits)
{
}

WebScoreboard::~WebScoreboard()
{
    // Threads of earlier servings may still be finishing; none may outlive its object.
    for (QThread *thread : findChildren<QThread *>()) {
        thread->quit();
        thread->wait();
    }
}

void WebScoreboard::start(quint16 port, bool allInterfaces)
{
    stop();
    m_thread = new QThread(this);
    m_thread->setObjectName(QStringLiteral("web scoreboard"));
    auto *worker = new WebWorker(m_limits);
    worker->moveToThread(m_thread);
    // The server and its sockets end on their own thread, once it has stopped.
    connect(m_thread, &QThread::finished, worker, &QObject::deleteLater);
    m_worker = worker;
    m_thread->start();
    const int attempt = ++m_attempt;
    QPointer<WebScoreboard> self(this);
    QMetaObject::invokeMethod(
        worker,
        [worker, self, attempt, port, allInterfaces] {
            const QString error = worker->listen(port, allInterfaces);
            QMetaObject::invokeMethod(self, [self, attempt, error, port, allInterfaces] {
                if (self) {
                    self->listened(attempt, error, port, allInterfaces);
                }
            });
        },
        Qt::QueuedConnection);
}

void WebScoreboard::listened(int attempt, const QString &error, quint16 port, bool allInterfaces)
{
    if (attempt != m_attempt) {
        return; // a later start or a stop came first
    }
    if (!error.isEmpty()) {
        stop();
        Q_EMIT failed(error);
        return;
    }
    m_address = AddressFor(port, allInterfaces);
    m_sent.clear();
    publish();
    Q_EMIT started(m_address);
}

void WebScoreboard::stop()
{
    ++m_attempt;
    if (!m_thread) {
        return;
    }
    // The thread deletes the server as it finishes, then itself; nothing here waits for it.
    m_thread->quit();
    connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
    m_thread = nullptr;
    m_worker = nullptr;
    const bool wasServing = !m_address.isEmpty();
    m_address.clear();
    if (wasServing) {
        Q_EMIT stopped();
    }
}

void WebScoreboard::showState(const evening::ScoreboardState &state)
{
    m_state = state;
    publish();
}

void WebScoreboard::publish()
{
    if (!m_worker || m_address.isEmpty()) {
        return;
    }
    QByteArray json = FeedJson(m_state);
    // A client that joins gets the last message; an unchanged one is not sent again.
    if (json == m_sent) {
        return;
    }
    m_sent = json;
    WebWorker *worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker, json = std::move(json)] { worker->publish(json); }, Qt::QueuedConnection);
}

} // namespace web
