// SPDX-License-Identifier: MIT
#pragma once

#include "evening/scoreboard_state.h"
#include "web/web_server.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

class QThread;

namespace web
{

class WebWorker;

/// The web scoreboard as the windows see it: serves on its own thread, so nothing a client does
/// holds up the board; fed with the evening's published scoreboard state.
class WebScoreboard : public QObject
{
    Q_OBJECT
public:
    explicit WebScoreboard(ServerLimits limits = {}, QObject *parent = nullptr);
    ~WebScoreboard() override;

    /// Serves on `port`, on every interface or this computer only; an earlier serving ends
    /// first. The outcome comes as started() or failed().
    void start(quint16 port, bool allInterfaces);
    /// Stops serving; every client is closed.
    void stop();
    /// The address spectators open ("http://192.168.1.20:8080/"), "" while not serving.
    QString address() const { return m_address; }

public Q_SLOTS:
    /// The scoreboard as it is now.
    void showState(const evening::ScoreboardState &state);

Q_SIGNALS:
    /// Serving at `address`.
    void started(const QString &address);
    /// Could not serve: `message` says why, in words for the user.
    void failed(const QString &message);
    /// Serving ended (stop()).
    void stopped();

private:
    void publish();
    void listened(int attempt, const QString &error, quint16 port, bool allInterfaces);

    ServerLimits m_limits;
    QThread *m_thread = nullptr;
    QPointer<WebWorker> m_worker;
    int m_attempt = 0;
    QString m_address;
    evening::ScoreboardState m_state;
    QByteArray m_sent;
};

/// The address a client on the network opens: the first address of an interface that is up
/// and not the loopback (IPv4 first), or 127.0.0.1 when listening on this computer only or
/// when there is no network.
QString AddressFor(quint16 port, bool allInterfaces);

} // namespace web
