// SPDX-License-Identifier: MIT
#include "link/serial_control.h"

#include "link/port_names.h"

#include <QFileInfo>
#include <QSerialPort>

#include <cerrno>
#include <utility>

#include <unistd.h>

namespace
{

QSerialPort::Parity toQt(line_settings::Parity parity)
{
    switch (parity) {
    case line_settings::Parity::Even:
        return QSerialPort::EvenParity;
    case line_settings::Parity::Odd:
        return QSerialPort::OddParity;
    case line_settings::Parity::Mark:
        return QSerialPort::MarkParity;
    case line_settings::Parity::Space:
        return QSerialPort::SpaceParity;
    case line_settings::Parity::None:
        break;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits toQt(line_settings::StopBits stopBits)
{
    switch (stopBits) {
    case line_settings::StopBits::OneAndHalf:
        return QSerialPort::OneAndHalfStop;
    case line_settings::StopBits::Two:
        return QSerialPort::TwoStop;
    case line_settings::StopBits::One:
        break;
    }
    return QSerialPort::OneStop;
}

// The most one read takes from a device, so a sender faster than the reader cannot hold the
// event loop; the rest waits for the next read.
constexpr qsizetype kPullLimit = 64 * 1024;

QString describe(const QSerialPort &port, const QString &device)
{
    QString description = port.errorString() + QStringLiteral(" (") + device + QLatin1Char(')');
    if (port.error() == QSerialPort::PermissionError) {
        // A device we may not read needs group rights; a readable one is held by someone else.
        description += QFileInfo(device).isReadable()
            ? QStringLiteral("; it may be in use by another program")
            : QStringLiteral("; add your user to the dialout group to use serial devices");
    }
    return description;
}

} // namespace

SerialControl::SerialControl(QObject *parent)
    : QObject(parent)
    , m_port(new QSerialPort(this))
{
    m_lineSettings = *line_settings::Parse(m_settings);
    // With room for one byte the serial layer stops watching the port as soon as something has
    // arrived, and watches again only when asked to (listen()): the arrival of a stream costs
    // one wake-up, not one per chunk the device sends.
    m_port->setReadBufferSize(1);
    connect(m_port, &QSerialPort::readyRead, this, &SerialControl::handleReadyRead);
    connect(m_port, &QSerialPort::errorOccurred, this, &SerialControl::handleError);
}

SerialControl::~SerialControl() = default;

void SerialControl::setCommPort(qint16 port) { m_commPort = port; }

qint16 SerialControl::commPort() const { return m_commPort; }

bool SerialControl::setSettings(const QString &settings)
{
    const std::optional<line_settings::LineSettings> parsed = line_settings::Parse(settings);
    if (!parsed) {
        return false;
    }
    m_settings = settings;
    m_lineSettings = *parsed;
    return !m_port->isOpen() || applySettings();
}

QString SerialControl::settings() const { return m_settings; }

void SerialControl::setRThreshold(qint16 threshold) { m_rThreshold = threshold; }

qint16 SerialControl::rThreshold() const { return m_rThreshold; }

std::optional<QString> SerialControl::setPortOpen(bool open)
{
    if (!open) {
        ++m_openCount;
        m_port->close();
        m_received.clear();
        m_listening = false;
        m_heldTaken = false;
        return std::nullopt;
    }
    if (m_port->isOpen()) {
        return QStringLiteral("%1 is already open").arg(port_names::PortCaption(m_commPort));
    }
    const port_names::Resolution resolution = port_names::Resolve(m_commPort);
    if (resolution.device.isEmpty()) {
        return resolution.error;
    }
    m_device = resolution.device;
    m_port->setPortName(m_device);
    applySettings();
    m_opening = true;
    // The program only listens; the devices need nothing sent to them.
    const bool opened = m_port->open(QIODevice::ReadOnly);
    m_opening = false;
    if (!opened) {
        return describe(*m_port, m_device);
    }
    ++m_openCount;
    m_lost = false;
    m_received.clear();
    m_heldTaken = false;
    m_listening = true; // the serial layer watches a freshly opened port
    return std::nullopt;
}

bool SerialControl::portOpen() const { return m_port->isOpen(); }

QByteArray SerialControl::input()
{
    pull();
    return std::exchange(m_received, QByteArray());
}

bool SerialControl::takeIn()
{
    const qsizetype before = m_received.size();
    pull();
    const bool came = m_received.size() > before;
    if (came && m_rThreshold > 0 && m_received.size() >= m_rThreshold) {
        Q_EMIT OnComm();
    }
    if (!came) {
        listen();
    }
    return came;
}

void SerialControl::handleReadyRead()
{
    if (m_paced) {
        // The bytes stay with the device until the owner takes them in; the port is no longer
        // watched in the meantime.
        if (m_listening) {
            m_listening = false;
            Q_EMIT bytesWaiting();
        }
        return;
    }
    pull();
    if (m_rThreshold > 0 && m_received.size() >= m_rThreshold) {
        Q_EMIT OnComm();
    }
    listen();
}

void SerialControl::pull()
{
    if (!m_port->isOpen()) {
        return;
    }
    // First the byte the serial layer took when it noticed the arrival, then the device's own
    // buffer, read directly. That byte is only peeked at: while the serial layer holds it, its
    // one-byte buffer is full and it does not watch the port (emptying the buffer would make
    // it watch again).
    if (!m_heldTaken && m_port->bytesAvailable() > 0) {
        char held = 0;
        if (m_port->peek(&held, 1) == 1) {
            m_received += held;
            m_heldTaken = true;
        }
    }
    const int fd = static_cast<int>(m_port->handle());
    char buffer[4096];
    for (qsizetype taken = 0; taken < kPullLimit;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count > 0) {
            m_received.append(buffer, count);
            taken += count;
            continue;
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        // 0 is an empty device (the port reads with VMIN 0). A failing device is left to the
        // serial layer's own read, which reports it as a lost link as it always has.
        if (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            listen();
        }
        break;
    }
}

void SerialControl::listen()
{
    if (!m_port->isOpen() || (!m_heldTaken && m_port->bytesAvailable() > 0)) {
        return;
    }
    m_listening = true;
    // Emptying the serial layer's buffer (of the byte already handed over, if any) is how it
    // is told to watch the port again.
    char byte = 0;
    static_cast<void>(m_port->read(&byte, 1));
    m_heldTaken = false;
}

void SerialControl::handleError()
{
    if (m_port->error() == QSerialPort::NoError || m_opening || !m_port->isOpen() || m_lost) {
        return;
    }
    // A vanished device keeps the descriptor readable and every read failing, so the serial
    // layer reports the same error on every pass of the event loop until the port is closed.
    // The serial layer does not promise that closing from inside its own notification is
    // safe, hence the queued close; m_lost swallows the reports that arrive before it runs.
    m_lost = true;
    // The serial layer's own text here is often a stale errno ("Inappropriate ioctl for
    // device"), so say plainly what happened first.
    const QString description =
        QStringLiteral("Connection lost (%1): %2").arg(m_device, m_port->errorString());
    const quint32 openCount = m_openCount;
    QMetaObject::invokeMethod(
        this,
        [this, description, openCount]() {
            if (openCount != m_openCount) {
                return; // closed (and perhaps reopened) by its owner in the meantime
            }
            ++m_openCount;
            m_port->close();
            m_received.clear();
            m_listening = false;
            m_heldTaken = false;
            Q_EMIT linkLost(description);
        },
        Qt::QueuedConnection);
}

bool SerialControl::applySettings()
{
    const bool baudSet = m_port->setBaudRate(m_lineSettings.baudRate);
    const bool paritySet = m_port->setParity(toQt(m_lineSettings.parity));
    const bool dataSet =
        m_port->setDataBits(static_cast<QSerialPort::DataBits>(m_lineSettings.dataBits));
    const bool stopSet = m_port->setStopBits(toQt(m_lineSettings.stopBits));
    return baudSet && paritySet && dataSet && stopSet;
}
