// SPDX-License-Identifier: MIT
#include "widgets/window_place.h"

#include "shared/decimal_text.h"

#include <QStringList>

#include <algorithm>

namespace window_place
{

namespace
{

    // Beyond any desktop of today; keeps the arithmetic below far from overflow.
    constexpr qint64 kFarthest = 1'000'000;

    qint64 overlap(const QRect &a, const QRect &b)
    {
        const QRect common = a.intersected(b);
        return common.isEmpty() ? 0 : qint64(common.width()) * common.height();
    }

} // namespace

QRect FitInside(const QRect &wanted, const QList<QRect> &areas)
{
    if (areas.isEmpty()) {
        return wanted;
    }
    QRect area = areas.first();
    qint64 most = 0;
    for (const QRect &candidate : areas) {
        if (const qint64 shared = overlap(wanted, candidate); shared > most) {
            most = shared;
            area = candidate;
        }
    }
    const int width = std::clamp(wanted.width(), 1, std::max(1, area.width()));
    const int height = std::clamp(wanted.height(), 1, std::max(1, area.height()));
    const int left = std::clamp(wanted.left(), area.left(), area.left() + area.width() - width);
    const int top = std::clamp(wanted.top(), area.top(), area.top() + area.height() - height);
    return { left, top, width, height };
}

QString PlaceText(const QRect &place)
{
    return QStringLiteral("%1,%2,%3,%4")
        .arg(place.x())
        .arg(place.y())
        .arg(place.width())
        .arg(place.height());
}

std::optional<QRect> ParsePlace(QStringView text)
{
    const QList<QStringView> parts = text.trimmed().split(u',');
    if (parts.size() != 4) {
        return std::nullopt;
    }
    using decimal_text::Sign;
    const auto x =
        decimal_text::parseWhole(parts[0].trimmed(), Sign::Allowed, -kFarthest, kFarthest);
    const auto y =
        decimal_text::parseWhole(parts[1].trimmed(), Sign::Allowed, -kFarthest, kFarthest);
    const auto width = decimal_text::parseDigits(parts[2].trimmed(), 1, kFarthest);
    const auto height = decimal_text::parseDigits(parts[3].trimmed(), 1, kFarthest);
    if (!x || !y || !width || !height) {
        return std::nullopt;
    }
    return QRect(int(*x), int(*y), int(*width), int(*height));
}

} // namespace window_place
