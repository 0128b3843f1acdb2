// SPDX-License-Identifier: MIT
#include "link/port_events.h"

namespace port_events
{

bool OnComm(comm::PacketState &state, QByteArrayView input, PlayerSlot player, PlayerRpm &playerRpm,
    LinkSeen &linkSeen)
{
    const qint32 sample = comm::ReadPort(state, input, linkSeen, player);
    if (sample < 0) {
        return false;
    }
    playerRpm[player] = sample;
    return true;
}

rotavex::PerPlayer<bool> WatchdogTick(LinkSeen &linkSeen, PlayerRpm &playerRpm)
{
    rotavex::PerPlayer<bool> zeroed;
    for (PlayerSlot player = rotavex::kFirstPlayer; player <= rotavex::kLastPlayer; ++player) {
        if (linkSeen[player] == -1) {
            playerRpm[player] = 0;
            zeroed[player] = true;
        } else {
            linkSeen[player] = -1;
        }
    }
    return zeroed;
}

} // namespace port_events
