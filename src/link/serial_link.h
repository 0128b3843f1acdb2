// SPDX-License-Identifier: MIT
#pragma once

#include "link/link_transport.h"

#include <QtGlobal>

#include <chrono>

class QTimer;
class SerialControl;

/// A player's link over a serial port (COM1..COM16) through its SerialControl, opened as
/// "9600,n,8,1" with a receive threshold of 1. Opens at once, so open() always answers within
/// the call. A lost link looks for its device once a second (a stat of its path, no
/// descriptor) and reopens it as soon as it is back.
class SerialLink : public LinkTransport
{
    Q_OBJECT
public:
    /// How often a waiting link looks for its device.
    static constexpr std::chrono::milliseconds kWatchInterval { 1000 };

    /// `control` belongs to the caller and outlives the link.
    SerialLink(SerialControl &control, QObject *parent = nullptr);

    /// The port of the next open, 1..16.
    void setPort(qint16 port) { m_port = port; }
    qint16 port() const { return m_port; }

    std::optional<QString> open(Opening opening) override;
    void keepTrying() override;
    void close() override;
    bool isOpen() const override;
    bool takeIn() override;

private:
    void watchTick();
    void handleLost(const QString &description);

    SerialControl &m_control;
    QTimer *m_watch;
    qint16 m_port = 0;
};
