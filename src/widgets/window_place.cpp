// SPDX-License-Identifier: MIT
#include "widgets/window_place.h"

#include "shared/decimal_text.h"

#include <QStringList>

#include <algorithm>
#include <optional>

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

    // The area `rect` overlaps most; the first when it overlaps none.
    QRect areaOf(const QRect &rect, const QList<QRect> &areas)
    {
        QRect area = areas.first();
        qint64 most = 0;
        for (const QRect &candidate : areas) {
            if (const qint64 shared = overlap(rect, candidate); shared > most) {
                most = shared;
                area = candidate;
            }
        }
        return area;
    }

} // namespace

QRect FitInside(const QRect &wanted, const QList<QRect> &areas)
{
    if (areas.isEmpty()) {
        return wanted;
    }
    const QRect area = areaOf(wanted, areas);
    const int width = std::clamp(wanted.width(), 1, std::max(1, area.width()));
    const int height = std::clamp(wanted.height(), 1, std::max(1, area.height()));
    const int left = std::clamp(wanted.left(), area.left(), area.left() + area.width() - width);
    const int top = std::clamp(wanted.top(), area.top(), area.top() + area.height() - height);
    return { left, top, width, height };
}

QRect BesideOwner(
    const QRect &owner, const QSize &size, const QSize &minimum, const QList<QRect> &areas)
{
    const QRect fallback(owner.topRight() + QPoint(1, 0), size);
    if (areas.isEmpty()) {
        return fallback;
    }
    const QRect a = areaOf(owner, areas);
    enum class Side { Right, Below, Left, Above };
    std::optional<QRect> best;
    for (const Side side : { Side::Right, Side::Below, Side::Left, Side::Above }) {
        QRect room;
        switch (side) {
        case Side::Right:
            room = QRect(QPoint(owner.right() + 1, a.top()), a.bottomRight());
            break;
        case Side::Below:
            room = QRect(QPoint(a.left(), owner.bottom() + 1), a.bottomRight());
            break;
        case Side::Left:
            room = QRect(a.topLeft(), QPoint(owner.left() - 1, a.bottom()));
            break;
        case Side::Above:
            room = QRect(a.topLeft(), QPoint(a.right(), owner.top() - 1));
            break;
        }
        if (room.width() < minimum.width() || room.height() < minimum.height()) {
            continue;
        }
        const QSize fitted = size.boundedTo(room.size());
        QPoint corner;
        switch (side) {
        case Side::Right:
            corner = QPoint(room.left(), owner.top());
            break;
        case Side::Below:
            corner = QPoint(owner.left(), room.top());
            break;
        case Side::Left:
            corner = QPoint(room.right() + 1 - fitted.width(), owner.top());
            break;
        case Side::Above:
            corner = QPoint(owner.left(), room.bottom() + 1 - fitted.height());
            break;
        }
        const QRect place = FitInside(QRect(corner, fitted), { room });
        if (!best || overlap(place, place) > overlap(*best, *best)) {
            best = place;
        }
    }
    if (best) {
        return *best;
    }
    return FitInside(fallback, areas);
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
