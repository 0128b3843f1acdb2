// SPDX-License-Identifier: MIT
#include "competition/heat_game.h"

namespace competition
{

QList<SeatResult> SeatResults(
    const Heat &heat, const results::GameRecord &game, const OpenLinks &openAtStart)
{
    QList<SeatResult> seats;
    for (int d = 0; d < kDevices; ++d) {
        const PlayerId player = heat.seats[std::size_t(d)];
        if (player == kNoPlayer) {
            continue;
        }
        SeatResult seat;
        seat.player = player;
        seat.device = d + 1;
        seat.absent = true;
        if (openAtStart[std::size_t(d)]) {
            for (const results::PlayerResult &result : game.players) {
                if (result.player == d + 1) {
                    seat.absent = false;
                    seat.revolutions = result.revolutions.value_or(0.0);
                    seat.bestRpm = result.bestRpm;
                }
            }
        }
        seats.append(seat);
    }
    return seats;
}

} // namespace competition
