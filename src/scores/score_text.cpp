// SPDX-License-Identifier: MIT
#include "scores/score_text.h"

namespace score_text
{

QString CompactDate(const QDateTime &started, const QDateTime &now, const QLocale &locale)
{
    const QDateTime local = started.toLocalTime();
    // Within the year the time tells games of one evening apart; older games need the year.
    return local.date().year() == now.toLocalTime().date().year()
        ? locale.toString(local, QStringLiteral("d MMM HH:mm"))
        : locale.toString(local, QStringLiteral("d MMM yyyy"));
}

} // namespace score_text
