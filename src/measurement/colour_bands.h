// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

namespace speed_mode
{

/// The bar colour (0x00BBGGRR) for a bar value in rpm; bounds belong to the lower band.
quint32 SpeedColour(double value);

} // namespace speed_mode
