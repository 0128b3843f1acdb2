// SPDX-License-Identifier: MIT
#pragma once

#include "game/game_session.h"

#include <QString>

namespace board_text
{

/// The speed label's caption: "0 rpm" at rest, " 7500 rpm" in Speed, "0 rev" when a Strength
/// game starts and then the revolutions grouped by the user's locale ("1,234 rev", " rev" for
/// none). An empty seat shows "—" (both captions).
QString SpeedCaption(const game::Snapshot &snapshot, rotavex::PlayerSlot player);

/// The record label's caption: "0 rpm" at rest, "7500 rpm" in Speed, "7500 rpm max" in
/// Strength.
QString RecordCaption(const game::Snapshot &snapshot, rotavex::PlayerSlot player);

/// The record label's tag: the best rpm as decimal text, "" before the first Start or Clear.
QString RecordTag(const game::Snapshot &snapshot, rotavex::PlayerSlot player);

} // namespace board_text
