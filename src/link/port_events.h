// SPDX-License-Identifier: MIT
#pragma once

#include "link/comm.h"
#include "shared/player_tables.h"

#include <QByteArrayView>

namespace port_events
{

using rotavex::LinkSeen;
using rotavex::PlayerRpm;
using rotavex::PlayerSlot;

/// The links' latest samples and how many each link has stored so far, so a reader can tell
/// a fresh sample from one it has seen.
struct LatestSamples {
    PlayerRpm rpm;
    rotavex::PerPlayer<quint32> stored;
};

/// Handles one serial event of `player`'s link whose pending input is `input`: decodes it and
/// stores a sample >= 0 in playerRpm[player]; -1 leaves the stored sample as it was. An event with
/// nothing pending stores 0. Returns whether a sample was stored.
bool OnComm(comm::PacketState &state, QByteArrayView input, PlayerSlot player, PlayerRpm &playerRpm,
    LinkSeen &linkSeen);

/// One watchdog tick (every 2000 ms): a player whose flag is still -1 (no frame since the
/// previous tick) gets sample 0; every other flag is armed to -1. Returns who got a 0.
rotavex::PerPlayer<bool> WatchdogTick(LinkSeen &linkSeen, PlayerRpm &playerRpm);

} // namespace port_events
