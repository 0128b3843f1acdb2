// SPDX-License-Identifier: MIT
#include "twips/twips.h"

#include <cmath>
#include <limits>

namespace twips
{

namespace
{

    bool usableDpi(double dpi) { return std::isfinite(dpi) && dpi > 0.0; }

} // namespace

int TwipsToPixels(double twips, double dpi)
{
    if (!usableDpi(dpi) || std::isnan(twips)) {
        return 0;
    }
    const double px = std::round(twips * dpi / kTwipsPerInch);
    // Converting an out-of-range double to int is undefined; clamp first.
    if (px <= std::numeric_limits<int>::min()) {
        return std::numeric_limits<int>::min();
    }
    if (px >= std::numeric_limits<int>::max()) {
        return std::numeric_limits<int>::max();
    }
    return static_cast<int>(px);
}

int TwipsToPixelsCovering(double twips, double dpi)
{
    if (!usableDpi(dpi) || std::isnan(twips)) {
        return 0;
    }
    // A hair under a whole pixel is that pixel: twips that came from pixels are not inexact.
    const double px = twips * dpi / kTwipsPerInch;
    return TwipsToPixels(std::ceil(px - 1e-9) * kTwipsPerInch / dpi, dpi);
}

double PixelsToTwips(int px, double dpi)
{
    if (!usableDpi(dpi)) {
        return 0.0;
    }
    return px * kTwipsPerInch / dpi;
}

} // namespace twips
