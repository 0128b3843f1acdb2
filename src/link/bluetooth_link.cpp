// SPDX-License-Identifier: MIT
#include "link/bluetooth_link.h"

#include "link/bluetooth_devices.h"
#include "link/bluetooth_inventory.h"
#include "link/bluetooth_transport.h"

#include <QTimer>

using rotavex::PlayerSlot;

BluetoothLink::BluetoothLink(PlayerSlot player, BluetoothTransport &profile,
    const BluetoothDevices &devices, QObject *parent)
    : LinkTransport(parent)
    , m_player(player)
    , m_profile(profile)
    , m_devices(devices)
    , m_retry(new QTimer(this))
{
    m_retry->setInterval(m_timing.retry);
    connect(m_retry, &QTimer::timeout, this, &BluetoothLink::retryTick);
    connect(&m_devices, &BluetoothDevices::changed, this, &BluetoothLink::devicesChanged);
    connect(&m_profile, &BluetoothTransport::connecting, this,
        [this](PlayerSlot player, quint32 attempt) {
            if (player == m_player && attempt == m_attempt) {
                m_reachedService = true;
            }
        });
    connect(&m_profile, &BluetoothTransport::connected, this, &BluetoothLink::handleConnected);
    connect(&m_profile, &BluetoothTransport::received, this,
        [this](PlayerSlot player, quint32 attempt, const QByteArray &bytes) {
            if (player == m_player && attempt == m_attempt && m_open) {
                Q_EMIT received(bytes);
            }
        });
    connect(
        &m_profile, &BluetoothTransport::pending, this, [this](PlayerSlot player, quint32 attempt) {
            if (player == m_player && attempt == m_attempt && m_open) {
                Q_EMIT pending();
            }
        });
    connect(&m_profile, &BluetoothTransport::ended, this, &BluetoothLink::handleEnded);
}

void BluetoothLink::setTiming(const Timing &timing)
{
    m_timing = timing;
    m_retry->setInterval(m_timing.retry);
}

std::optional<QString> BluetoothLink::open(Opening opening)
{
    m_name = m_devices.nameOf(m_device);
    m_reason.clear();
    if (opening == Opening::ByUser) {
        if (const std::optional<QString> obstacle = m_devices.obstacle(m_device)) {
            return *obstacle;
        }
        startAttempt(Kind::ByUser);
        return std::nullopt;
    }
    // The service's answer about adapters and devices may not be in yet; the first one starts
    // the attempt then.
    m_kind = Kind::AtStart;
    m_startPending = !m_devices.isLoaded();
    if (!m_startPending) {
        startAttempt(Kind::AtStart);
    }
    return std::nullopt;
}

void BluetoothLink::keepTrying()
{
    m_waiting = true;
    m_reason.clear();
    if (!m_retry->isActive()) {
        m_retry->start();
    }
}

void BluetoothLink::close()
{
    m_waiting = false;
    m_startPending = false;
    m_retry->stop();
    if (m_attempt != 0 || m_open) {
        m_profile.drop(m_player, m_attempt);
    }
    m_attempt = 0;
    m_open = false;
}

bool BluetoothLink::takeIn() { return m_open && m_profile.takeIn(m_player, m_attempt); }

void BluetoothLink::startAttempt(Kind kind)
{
    m_attempt = ++m_lastAttempt;
    m_busyAttempt = m_attempt;
    m_kind = kind;
    m_reachedService = false;
    m_profile.connectDevice(m_player, m_devices.pathOf(m_device), m_attempt);
    const auto timeout = kind == Kind::ByUser ? m_timing.openTimeout : m_timing.retryTimeout;
    const quint32 attempt = m_attempt;
    QTimer::singleShot(timeout, this, [this, attempt] { handleTimeout(attempt); });
}

void BluetoothLink::handleConnected(PlayerSlot player, quint32 attempt)
{
    if (player != m_player) {
        return;
    }
    if (attempt != m_attempt) {
        // An abandoned attempt got through after all; it is not wanted any more.
        m_profile.drop(m_player, attempt);
        return;
    }
    m_open = true;
    m_waiting = false;
    m_retry->stop();
    m_name = m_devices.nameOf(m_device);
    Q_EMIT opened();
}

void BluetoothLink::handleEnded(PlayerSlot player, quint32 attempt)
{
    if (player != m_player) {
        return;
    }
    if (attempt == m_busyAttempt) {
        m_busyAttempt = 0;
    }
    if (attempt != m_attempt) {
        return;
    }
    m_attempt = 0;
    if (m_open) {
        m_open = false;
        // The device may be back before the next tick; no reason to wait the whole interval.
        Q_EMIT lost(failureReason());
        return;
    }
    attemptFailed(failureReason());
}

void BluetoothLink::handleTimeout(quint32 attempt)
{
    if (attempt != m_attempt || m_open) {
        return;
    }
    // Qt never reports a page that failed; silence this long means the device did not answer,
    // or the service itself did not take the request.
    const QString reason =
        m_reachedService ? failureReason() : bluetooth_inventory::NotAnsweringReason();
    m_profile.drop(m_player, attempt);
    m_attempt = 0;
    attemptFailed(reason);
}

void BluetoothLink::attemptFailed(const QString &reason)
{
    if (m_kind == Kind::Retry) {
        return; // quietly: the owner's state and its time stay as they were when it was lost
    }
    m_kind = Kind::Retry;
    Q_EMIT failed(reason);
}

QString BluetoothLink::failureReason() const
{
    if (m_devices.isLoaded() && !m_devices.isHung()) {
        if (const std::optional<QString> obstacle = m_devices.obstacle(m_device)) {
            return *obstacle;
        }
    }
    return bluetooth_inventory::OutOfReachReason();
}

void BluetoothLink::retryTick()
{
    // One attempt at a time: a request still pending with the service is not piled upon.
    if (m_waiting && m_attempt == 0 && m_busyAttempt == 0 && mayOpen()) {
        startAttempt(Kind::Retry);
    }
}

void BluetoothLink::devicesChanged()
{
    if (m_device.isEmpty()) {
        return;
    }
    if (m_startPending && m_devices.isLoaded()) {
        m_startPending = false;
        startAttempt(Kind::AtStart);
    }
    const QString name = m_devices.nameOf(m_device);
    if (!name.isEmpty() && name != m_name) {
        m_name = name;
        Q_EMIT renamed(name);
    }
    if (!m_waiting || !m_devices.isLoaded() || m_devices.isHung()) {
        return;
    }
    // A waiting link says what stands in its way now (the adapter switched off after the link
    // was lost, say).
    const QString reason = failureReason();
    if (reason != m_reason) {
        m_reason = reason;
        Q_EMIT reasonChanged(reason);
    }
    // A device that has just come back is tried at once rather than at the next tick.
    if (!m_devices.obstacle(m_device) && m_attempt == 0 && m_busyAttempt == 0 && mayOpen()) {
        startAttempt(Kind::Retry);
    }
}
