// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QTime>
#include <QtGlobal>

namespace link_status
{

/// What a player's link is doing.
enum class LinkState {
    Closed = 0, ///< closed by the user, or never opened
    Open = 1, ///< open and delivering (or able to)
    Lost = 2, ///< closed itself when its device went away; waiting for the device to return
    StartFailed = 3, ///< could not be opened at start-up; waiting for the device to appear
};

/// A player's link as the board and the setup dialog show it.
struct LinkStatus {
    LinkState state = LinkState::Closed;
    qint16 port = 0; ///< the port in use or waited for; 0 when the link never had one
    QTime at; ///< when it opened, was lost or failed at start-up
    QString reason; ///< why it was lost or could not be opened
    QString device {}; ///< Bluetooth address when the link is a Bluetooth device; empty: the port
    QString deviceName {}; ///< the device's name as last known; may be empty
    bool operator==(const LinkStatus &) const = default;
};

/// Whether the link waits for its device (and reopens it by itself when it shows up).
bool IsWaiting(LinkState state);

/// One line of plain text for a user: "COM3 open since 14:02:11", "COM3 lost at 14:05:40:
/// the device disconnected. Reconnecting when it returns.", "COM3 closed", "COM3 could not be
/// opened at start-up: <reason>. Retrying." A closed link without a port reads "No port".
/// A Bluetooth device is named instead of the port: "SPINNER-7 connected since 14:02:11",
/// "SPINNER-7 lost at 14:05:40: <reason>. Reconnecting."
QString Describe(const LinkStatus &status);

/// What a link is called in messages: "COM3", the device's name, or its address.
QString LinkName(const LinkStatus &status);
/// The name a game records for the link: LinkName(), or empty when it was never given a port
/// or a device.
QString RecordedName(const LinkStatus &status);

} // namespace link_status
