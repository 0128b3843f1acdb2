// SPDX-License-Identifier: MIT
#pragma once

#include "link/line_settings.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QtGlobal>

#include <optional>

class QSerialPort;

/// One player's serial link, offering the operations the program relies on: port number, line
/// settings, receive threshold, open state, reading everything pending and an event whenever
/// at least RThreshold bytes are waiting. Paced, it raises that event only when its owner asks
/// (takeIn()), so a device that streams wakes the program at the owner's pace, not per byte.
class SerialControl : public QObject
{
    Q_OBJECT
public:
    explicit SerialControl(QObject *parent = nullptr);
    ~SerialControl() override;

    /// Port number 1..16 used by the next open (0 or out of range: the open fails).
    void setCommPort(qint16 port);
    qint16 commPort() const;

    /// Line settings as "baud,parity,data,stop", e.g. "9600,n,8,1". Returns false, keeping
    /// the previous settings, when the text cannot be parsed.
    bool setSettings(const QString &settings);
    QString settings() const;

    /// OnComm fires when at least this many bytes wait; 0 disables receive events.
    void setRThreshold(qint16 threshold);
    qint16 rThreshold() const;

    /// Paced: arriving bytes raise bytesWaiting() once instead of OnComm, and OnComm comes from
    /// takeIn(). Unpaced (the default): OnComm follows the bytes' arrival.
    void setPaced(bool paced) { m_paced = paced; }
    /// Takes in everything the device has sent by now and raises OnComm within this call when
    /// at least RThreshold bytes wait. Returns whether any byte came in; a call that finds
    /// nothing makes the next arriving byte raise bytesWaiting() again. Until then the port is
    /// not watched, so a streaming device costs nothing between two calls.
    bool takeIn();

    /// Opens (true) or closes (false) the port. Returns std::nullopt on success, otherwise the
    /// serial layer's description of the failure, naming the device looked for. Closing a
    /// closed port succeeds.
    [[nodiscard]] std::optional<QString> setPortOpen(bool open);
    bool portOpen() const;

    /// Everything received since the previous read, consumed (including what reached the
    /// device since the last event); empty when nothing waits.
    QByteArray input();

Q_SIGNALS:
    /// Raised on the UI thread when at least RThreshold bytes wait (paced: within takeIn()).
    void OnComm();
    /// Paced only: bytes have begun to wait; raised once until a takeIn() finds nothing.
    void bytesWaiting();
    /// The open port failed (device vanished, I/O error) and has been closed; emitted once.
    void linkLost(const QString &description);

private:
    void handleReadyRead();
    void handleError();
    bool applySettings();
    /// Moves what the port and the device hold into m_received, in order.
    void pull();
    /// Watches the port again: the next byte that arrives is noticed.
    void listen();

    QSerialPort *m_port; // owned as a child
    qint16 m_commPort = 0;
    qint16 m_rThreshold = 0;
    QString m_settings = QStringLiteral("9600,n,8,1");
    line_settings::LineSettings m_lineSettings;
    QString m_device; // the device of the latest open, for descriptions
    QByteArray m_received; // taken from the device, not yet handed over by input()
    bool m_paced = false;
    bool m_listening = false; // watched, and bytesWaiting() not yet raised
    bool m_heldTaken = false; // the byte in the serial layer's buffer is in m_received already
    bool m_opening = false; // errors of an open are its result, not a lost link
    bool m_lost = false; // linkLost already on its way for the current opening
    quint32 m_openCount = 0; // tells a queued close which opening it belongs to
};
