// SPDX-License-Identifier: MIT
#pragma once

#include "measurement/board.h"

#include <QtGlobal>

namespace speed_mode
{

/// The bar colour (0x00BBGGRR) for a bar value in rpm; bounds belong to the lower band.
quint32 SpeedColour(double value);

/// Recolours the four bars from the values they show.
void SetSpeedColours(Board &board);

} // namespace speed_mode
