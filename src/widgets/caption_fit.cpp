// SPDX-License-Identifier: MIT
#include "widgets/caption_fit.h"

#include <algorithm>
#include <cmath>

namespace caption_fit
{

double LargestFittingPointSize(double designPt, double smallestPt, double room,
    const std::function<double(double pointSize)> &widestAt)
{
    const auto fits = [&](double size) { return widestAt(size) <= room; };
    const double atDesign = widestAt(designPt);
    if (designPt <= smallestPt || atDesign <= room) {
        return designPt;
    }
    // Text widths grow nearly in proportion to the size; hinting bends that a little, so the
    // proportional guess is only where the search starts.
    const double guess = atDesign > 0.0 && room > 0.0 ? designPt * room / atDesign : smallestPt;
    const auto onStep = [&](double size) {
        return smallestPt + std::floor((size - smallestPt) / kStepPt) * kStepPt;
    };
    double size = std::clamp(onStep(guess), smallestPt, designPt - kStepPt);
    while (size > smallestPt && !fits(size)) {
        size = std::max(smallestPt, size - kStepPt);
    }
    if (!fits(size)) {
        return smallestPt;
    }
    while (size + kStepPt < designPt && fits(size + kStepPt)) {
        size += kStepPt;
    }
    return size;
}

QString MeasurablePrefix(const QString &text, qsizetype maxChars)
{
    if (maxChars <= 0) {
        return {};
    }
    if (text.size() <= maxChars) {
        return text;
    }
    const qsizetype cut = text.at(maxChars - 1).isHighSurrogate() ? maxChars - 1 : maxChars;
    return text.left(cut);
}

double EntryTextRoom(double width, int entries, double perEntryExtra)
{
    if (entries <= 0) {
        return 0.0;
    }
    return std::max(0.0, width / entries - perEntryExtra);
}

} // namespace caption_fit
