// SPDX-License-Identifier: MIT
#include "link/port_events.h"

namespace port_events
{

void OnComm(comm::PacketState &state, QByteArrayView input, PlayerSlot port, PlayerRpm &playerRpm,
    LinkSeen &linkSeen)
{
    const qint32 sample = comm::ReadPort(state, input, linkSeen, port);
    if (sample >= 0) {
        playerRpm[port] = sample;
    }
}

void WatchdogTick(LinkSeen &linkSeen, PlayerRpm &playerRpm)
{
    for (PlayerSlot player = rotavex::kFirstPlayer; player <= rotavex::kLastPlayer; ++player) {
        if (linkSeen[player] == -1) {
            playerRpm[player] = 0;
        } else {
            linkSeen[player] = -1;
        }
    }
}

} // namespace port_events
