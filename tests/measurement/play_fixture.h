// SPDX-License-Identifier: MIT
#pragma once

#include "measurement/speed_mode.h"
#include "support/recording_board.h"

#include <QString>

#include <array>

/// The tables one play-mode tick works on, with a recording board and named players.
struct PlayFixture {
    using Update = void (*)(speed_mode::MeasurementState &, rotavex::PlayerRpm &,
        const rotavex::PlayerName &, speed_mode::Board &, bool);

    speed_mode::MeasurementState state;
    rotavex::PlayerRpm playerRpm;
    rotavex::PlayerName playerName { { QStringLiteral("Ann"), QStringLiteral("Ben"),
        QStringLiteral("Cy"), QStringLiteral("Dee") } };
    RecordingBoard board;

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

    /// What Clear does before a game: record tags "0", big display 0, the Speed reset.
    void clearBoard()
    {
        for (rotavex::PlayerSlot p = 1; p <= 4; ++p) {
            board.setRecordTag(p, QStringLiteral("0"));
        }
        board.setBigDisplayValue(0);
        speed_mode::UpdateSpeedMode(state, playerRpm, playerName, board, true);
        board.clearLog();
    }

    /// Runs `count` accepted ticks; tick k (from 1) carries 1000 + k rpm for player 1 and 0
    /// for the others, so each chart row shows which tick wrote it.
    void runNumberedTicks(Update update, int count)
    {
        for (int k = 1; k <= count; ++k) {
            holdSteady({ 1000 + k, 0, 0, 0 });
            update(state, playerRpm, playerName, board, false);
        }
    }
};
