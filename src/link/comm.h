// SPDX-License-Identifier: MIT
#pragma once

#include "shared/player_tables.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

namespace comm
{

using rotavex::LinkSeen;
using rotavex::PlayerSlot;

/// Framing state of one port's byte stream ("<", high, low, ">"). Each port has its own, so
/// bytes of one link can never complete a frame begun on another.
struct PacketState {
    qint32 High = 0; ///< last byte taken at frame position 1
    qint32 Low = 0; ///< last byte taken at frame position 2
    qint16 Position = 0; ///< position of the next byte; "<" sets 0; saturates past the frame

    bool operator==(const PacketState &) const = default;
};

/// One PacketState per port, indexed by PlayerSlot.
using PortStates = rotavex::PerPlayer<PacketState>;

/// A frame is kStartMarker, the count's high byte, its low byte, kEndMarker.
inline constexpr char kStartMarker = '<';
inline constexpr char kEndMarker = '>';

/// Feeds one received byte to a port's state machine. Returns the frame's count (0..65535)
/// when this byte completes a frame, otherwise -1.
qint32 ParseChar(PacketState &state, quint8 byte);

/// Converts a frame's count (8 µs steps per revolution) to rpm: rotavex::kMinRpm..kMaxRpm
/// (1000..20000) when the period lies within 3000..60000 µs, 0 for count 0, otherwise -1.
qint32 CountToRpm(qint32 count);

/// The four bytes a device sends for one revolution of `count` × 8 µs.
QByteArray encodeFrame(quint16 count);

/// Decodes everything one read of `player`'s link delivered. Every byte is scanned and the state
/// carries over to the link's next read, so split frames complete. Returns the sample of the
/// last completed frame that gives 0 or an rpm; -1 when frames completed but none was usable
/// or none completed; 0 for an empty read. Only a frame that gives 0 or an rpm sets
/// linkSeen[player] to 0: a link that sends nothing usable counts as silent.
qint32 ReadPort(PacketState &state, QByteArrayView input, LinkSeen &linkSeen, PlayerSlot player);

} // namespace comm
