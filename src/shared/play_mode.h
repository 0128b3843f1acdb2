// SPDX-License-Identifier: MIT
#pragma once

namespace rotavex
{

/// The kind of game: Speed (best rpm) or Strength (revolutions against a countdown). Unset
/// until the board's first start. The numbers are what the results file and the competition
/// store keep.
enum class PlayMode { Unset = 0, Speed = 1, Strength = 2 };

} // namespace rotavex
