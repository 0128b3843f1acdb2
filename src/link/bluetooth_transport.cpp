// SPDX-License-Identifier: MIT
#include "link/bluetooth_transport.h"

#include "link/bluetooth_inventory.h"

#include <QBluetoothAddress>
#include <QBluetoothSocket>
#include <QBluetoothUuid>
#include <QHash>
#include <QDeadlineTimer>
#include <QThread>

#include <vector>

using rotavex::PlayerSlot;

/// The thread-side half: owns the sockets, one per player at most, and reports through its
/// signals (queued to the transport's thread).
class BluetoothWorker : public QObject
{
    Q_OBJECT
public:
    ~BluetoothWorker() override { shutdown(); }

    void connectDevice(PlayerSlot player, const QString &address, quint32 attempt)
    {
        drop(player, 0);
        // A fresh socket each time: one that failed to connect stays "connecting" inside Qt.
        auto *socket = new QBluetoothSocket(QBluetoothServiceInfo::RfcommProtocol, this);
        m_sockets.insert(player, Entry { socket, attempt });
        connect(socket, &QBluetoothSocket::connected, this,
            [this, player, attempt] { Q_EMIT connected(player, attempt); });
        connect(socket, &QBluetoothSocket::readyRead, this, [this, socket, player, attempt] {
            const QByteArray bytes = socket->readAll();
            if (!bytes.isEmpty()) {
                Q_EMIT received(player, attempt, bytes);
            }
        });
        // Qt reports a closed device end as disconnected() alone, a refused request as an
        // error; either ends the attempt.
        connect(socket, &QBluetoothSocket::disconnected, this,
            [this, player, attempt] { finish(player, attempt); });
        connect(socket, &QBluetoothSocket::errorOccurred, this,
            [this, player, attempt] { finish(player, attempt); });
        socket->connectToService(QBluetoothAddress(address),
            QBluetoothUuid(QUuid(QString::fromLatin1(bluetooth_inventory::kSerialPortUuid))));
        const auto current = m_sockets.constFind(player);
        if (current != m_sockets.cend() && current->attempt == attempt
            && socket->state() == QBluetoothSocket::SocketState::ConnectingState) {
            Q_EMIT connecting(player, attempt);
        }
    }

    void drop(PlayerSlot player, quint32 attempt)
    {
        const auto it = m_sockets.find(player);
        if (it == m_sockets.end() || (attempt != 0 && it->attempt != attempt)) {
            return;
        }
        const Entry entry = *it;
        m_sockets.erase(it);
        entry.socket->disconnect(this);
        entry.socket->abort();
        delete entry.socket;
        Q_EMIT ended(player, entry.attempt);
    }

    void shutdown()
    {
        const QList<PlayerSlot> players = m_sockets.keys();
        for (const PlayerSlot player : players) {
            drop(player, 0);
        }
    }

Q_SIGNALS:
    void connecting(rotavex::PlayerSlot player, quint32 attempt);
    void connected(rotavex::PlayerSlot player, quint32 attempt);
    void received(rotavex::PlayerSlot player, quint32 attempt, const QByteArray &bytes);
    void ended(rotavex::PlayerSlot player, quint32 attempt);

private:
    struct Entry {
        QBluetoothSocket *socket = nullptr;
        quint32 attempt = 0;
    };

    // Called from the socket's own signals: it must not be deleted under them.
    void finish(PlayerSlot player, quint32 attempt)
    {
        const auto it = m_sockets.find(player);
        if (it == m_sockets.end() || it->attempt != attempt) {
            return;
        }
        QBluetoothSocket *socket = it->socket;
        m_sockets.erase(it);
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
        Q_EMIT ended(player, attempt);
    }

    QHash<PlayerSlot, Entry> m_sockets;
};

namespace
{

// Workers stuck on a hung service when their transport went away. They are never destroyed
// while running; kept here so they count as reachable rather than leaked.
std::vector<QThread *> &abandonedThreads()
{
    static std::vector<QThread *> threads;
    return threads;
}

} // namespace

BluetoothTransport::BluetoothTransport(QObject *parent)
    : QObject(parent)
{
}

BluetoothTransport::~BluetoothTransport()
{
    for (PlayerSlot player = rotavex::kFirstPlayer; player <= rotavex::kLastPlayer; ++player) {
        BluetoothWorker *worker = m_workers[player];
        if (worker == nullptr) {
            continue;
        }
        QMetaObject::invokeMethod(worker, [worker] { worker->shutdown(); }, Qt::QueuedConnection);
        // Deleted on its own thread once the loop has ended (its sockets must die there).
        connect(m_threads[player], &QThread::finished, worker, &QObject::deleteLater,
            Qt::DirectConnection);
        worker->disconnect(this);
        m_threads[player]->quit();
    }
    const QDeadlineTimer deadline(kQuitWait);
    for (PlayerSlot player = rotavex::kFirstPlayer; player <= rotavex::kLastPlayer; ++player) {
        QThread *thread = m_threads[player];
        if (thread == nullptr) {
            continue;
        }
        if (thread->wait(deadline)) {
            delete thread;
        } else {
            abandonedThreads().push_back(thread);
        }
    }
}

void BluetoothTransport::connectDevice(PlayerSlot player, const QString &address, quint32 attempt)
{
    BluetoothWorker *target = worker(player);
    QMetaObject::invokeMethod(
        target, [target, player, address, attempt] { target->connectDevice(player, address, attempt); },
        Qt::QueuedConnection);
}

void BluetoothTransport::drop(PlayerSlot player, quint32 attempt)
{
    BluetoothWorker *target = m_workers[player];
    if (target == nullptr) {
        return;
    }
    QMetaObject::invokeMethod(
        target, [target, player, attempt] { target->drop(player, attempt); }, Qt::QueuedConnection);
}

BluetoothWorker *BluetoothTransport::worker(PlayerSlot player)
{
    if (m_workers[player] != nullptr) {
        return m_workers[player];
    }
    auto *thread = new QThread;
    thread->setObjectName(QStringLiteral("Bluetooth %1").arg(player));
    auto *worker = new BluetoothWorker;
    worker->moveToThread(thread);
    connect(worker, &BluetoothWorker::connecting, this, &BluetoothTransport::connecting);
    connect(worker, &BluetoothWorker::connected, this, &BluetoothTransport::connected);
    connect(worker, &BluetoothWorker::received, this, &BluetoothTransport::received);
    connect(worker, &BluetoothWorker::ended, this, &BluetoothTransport::ended);
    thread->start();
    m_threads[player] = thread;
    m_workers[player] = worker;
    return worker;
}

#include "bluetooth_transport.moc"
