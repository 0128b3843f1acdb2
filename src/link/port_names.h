// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

namespace port_names
{

/// Port numbers run from 1 to kPortCount (COM1..COM16).
inline constexpr int kPortCount = 16;

/// The name a port number goes by in every window and record: "COM3".
inline QString PortCaption(int port) { return QStringLiteral("COM%1").arg(port); }

/// Folder in which virtual ports appear as COM1..COM16 (the device simulator's links):
/// `<runtime dir>/rotavex`, the runtime dir being $XDG_RUNTIME_DIR on Linux.
QString VirtualPortDir();

/// Device paths that port number `port` may open, in order of preference. On Linux:
/// `<VirtualPortDir()>/COMn`, then `/dev/rfcomm<n-1>`; on Windows just `COMn`.
/// Empty for port numbers outside 1..16.
QStringList Candidates(int port);

/// The result of resolving a port number to a device.
struct Resolution {
    QString device; ///< the device to open; empty when none exists
    QString error; ///< why nothing was found, naming what was looked for; empty on success
};

/// Resolves port number `port` to the first existing candidate device.
Resolution Resolve(int port);

} // namespace port_names
