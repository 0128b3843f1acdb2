// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace score_text
{

/// A game's start as the high-score board lists it: day, short month and time ("8 Dec 03:38")
/// in the year of `now`, day, month and year ("8 Dec 2025") otherwise; both in local time and
/// the month names of `locale`.
QString CompactDate(const QDateTime &started, const QDateTime &now, const QLocale &locale);

} // namespace score_text
