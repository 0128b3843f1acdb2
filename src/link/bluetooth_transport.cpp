// SPDX-License-Identifier: MIT
#include "link/bluetooth_transport.h"

#include "link/bluetooth_inventory.h"

#include <QBluetoothAddress>
#include <QBluetoothSocket>
#include <QBluetoothUuid>
#include <QHash>
#include <QMutex>
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
    if (m_thread == nullptr) {
        return;
    }
    BluetoothWorker *worker = m_worker;
    QMetaObject::invokeMethod(worker, [worker] { worker->shutdown(); }, Qt::QueuedConnection);
    // Deleted on its own thread once the loop has ended (its sockets must die there).
    connect(m_thread, &QThread::finished, worker, &QObject::deleteLater, Qt::DirectConnection);
    worker->disconnect(this);
    m_thread->quit();
    if (m_thread->wait(kQuitWait.count())) {
        delete m_thread;
    } else {
        abandonedThreads().push_back(m_thread);
    }
}

void BluetoothTransport::connectDevice(PlayerSlot player, const QString &address, quint32 attempt)
{
    ensureWorker();
    BluetoothWorker *worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker, player, address, attempt] { worker->connectDevice(player, address, attempt); },
        Qt::QueuedConnection);
}

void BluetoothTransport::drop(PlayerSlot player, quint32 attempt)
{
    if (m_worker == nullptr) {
        return;
    }
    BluetoothWorker *worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker, player, attempt] { worker->drop(player, attempt); }, Qt::QueuedConnection);
}

void BluetoothTransport::ensureWorker()
{
    if (m_thread != nullptr) {
        return;
    }
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("Bluetooth"));
    m_worker = new BluetoothWorker;
    m_worker->moveToThread(m_thread);
    connect(m_worker, &BluetoothWorker::connecting, this, &BluetoothTransport::connecting);
    connect(m_worker, &BluetoothWorker::connected, this, &BluetoothTransport::connected);
    connect(m_worker, &BluetoothWorker::received, this, &BluetoothTransport::received);
    connect(m_worker, &BluetoothWorker::ended, this, &BluetoothTransport::ended);
    m_thread->start();
}

#include "bluetooth_transport.moc"
