// SPDX-License-Identifier: MIT
#include "link/serial_link.h"

#include "link/port_names.h"
#include "link/serial_control.h"

#include <QTimer>

namespace
{

constexpr auto kLineSettings = "9600,n,8,1";
constexpr qint16 kReceiveThreshold = 1;

} // namespace

SerialLink::SerialLink(SerialControl &control, QObject *parent)
    : LinkTransport(parent)
    , m_control(control)
    , m_watch(new QTimer(this))
{
    m_watch->setInterval(kWatchInterval);
    connect(m_watch, &QTimer::timeout, this, &SerialLink::watchTick);
    m_control.setPaced(true);
    connect(&m_control, &SerialControl::bytesWaiting, this, &LinkTransport::pending);
    connect(
        &m_control, &SerialControl::OnComm, this, [this] { Q_EMIT received(m_control.input()); });
    connect(&m_control, &SerialControl::linkLost, this, &SerialLink::handleLost);
}

std::optional<QString> SerialLink::open(Opening)
{
    m_control.setCommPort(m_port);
    m_control.setSettings(QString::fromLatin1(kLineSettings));
    m_control.setRThreshold(kReceiveThreshold);
    if (const std::optional<QString> error = m_control.setPortOpen(true)) {
        return error;
    }
    if (!m_control.portOpen()) {
        return QString();
    }
    m_watch->stop();
    Q_EMIT opened();
    return std::nullopt;
}

void SerialLink::keepTrying() { m_watch->start(); }

void SerialLink::close()
{
    m_watch->stop();
    // Closing cannot usefully fail: whatever happens, the link ends up closed.
    static_cast<void>(m_control.setPortOpen(false));
}

bool SerialLink::isOpen() const { return m_control.portOpen(); }

bool SerialLink::takeIn() { return m_control.portOpen() && m_control.takeIn(); }

void SerialLink::watchTick()
{
    // Only a stat until the device is back: nothing is opened, so nothing is held.
    if (port_names::Resolve(m_port).device.isEmpty() || !mayOpen()) {
        return;
    }
    // A refusal (something at the path that is not a serial device) is tried again next time.
    static_cast<void>(open(Opening::AtStart));
}

void SerialLink::handleLost(const QString &description)
{
    // A device that went away is the usual case and the one a user can act on; anything else
    // keeps the serial layer's own words.
    const bool deviceGone = port_names::Resolve(m_port).device.isEmpty();
    Q_EMIT lost(deviceGone ? QStringLiteral("the device disconnected") : description);
}
