// SPDX-License-Identifier: MIT
#include "measurement/colour_bands.h"

#include <array>

namespace speed_mode
{

quint32 SpeedColour(double value)
{
    struct Band {
        double aboveRpm;
        quint32 bgr;
    };
    // Highest band first; a bound itself belongs to the band below it.
    static constexpr std::array<Band, 6> kBands { {
        { 15000.0, 0x0000FF }, // red
        { 12500.0, 0xFF00FF }, // magenta
        { 10000.0, 0x0080FF }, // orange
        { 7500.0, 0x00FFFF }, // yellow
        { 5000.0, 0x00FF00 }, // green
        { 2500.0, 0xFFFF80 }, // light cyan
    } };
    constexpr quint32 kRestingGrey = 0xE0E0E0;
    for (const Band &band : kBands) {
        if (value > band.aboveRpm) {
            return band.bgr;
        }
    }
    return kRestingGrey;
}

} // namespace speed_mode
