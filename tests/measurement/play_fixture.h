// SPDX-License-Identifier: MIT
#pragma once

#include "measurement/speed_mode.h"

#include <array>

/// The tables one play-mode tick works on.
struct PlayFixture {
    using Update = bool (*)(speed_mode::MeasurementState &, rotavex::PlayerRpm &, bool);

    speed_mode::MeasurementState state;
    rotavex::PlayerRpm playerRpm;

    /// Puts the samples in place with a history that makes the next tick accept them as they
    /// are, as after a steady run.
    void holdSteady(const std::array<qint32, 4> &rpm)
    {
        for (rotavex::PlayerSlot p = 1; p <= 4; ++p) {
            const qint32 value = rpm[static_cast<std::size_t>(p - 1)];
            state.filters[p] = speed_mode::FilterState { value, value, value, value };
            playerRpm[p] = value;
        }
    }

    /// What Clear does before a game: records and the best of all at 0, the Speed reset.
    void clearBoard()
    {
        speed_mode::ClearRecords(state);
        speed_mode::UpdateSpeedMode(state, playerRpm, true);
    }

    /// Runs `count` accepted ticks; tick k (from 1) carries 1000 + k rpm for player 1 and 0
    /// for the others, so each chart row shows which tick wrote it.
    void runNumberedTicks(Update update, int count)
    {
        for (int k = 1; k <= count; ++k) {
            holdSteady({ 1000 + k, 0, 0, 0 });
            update(state, playerRpm, false);
        }
    }
};
