// SPDX-License-Identifier: MIT
#pragma once

namespace twips
{

/// Twips in one inch.
inline constexpr double kTwipsPerInch = 1440.0;

/// Pixels covering `twips` on a screen of `dpi` dots per inch, rounded half away from zero and
/// clamped to the int range. A dpi that is not a positive finite number gives 0.
int TwipsToPixels(double twips, double dpi);

/// The fewest whole pixels that cover `twips` (rounded up), clamped like TwipsToPixels.
int TwipsToPixelsCovering(double twips, double dpi);

/// Twips covered by `px` pixels on a screen of `dpi` dots per inch (not rounded). A dpi that is
/// not a positive finite number gives 0.
double PixelsToTwips(int px, double dpi);

} // namespace twips
