// SPDX-License-Identifier: MIT
#pragma once

#include "results/game_record.h"

#include <QDateTime>
#include <QString>

class QIODevice;

namespace results
{

class ResultsStore;

/// The first line of every results CSV file.
inline constexpr auto kCsvHeader =
    "game,started_at,mode,preset_s,ticks,complete,player,name,port,best_rpm,revolutions,mean_rpm";

/// ISO 8601 local date and time with the offset from UTC, e.g. 2026-12-08T01:02:03+01:00.
QString IsoWithOffset(const QDateTime &time);

/// The field as RFC 4180 writes it: quoted (with inner quotes doubled) when it holds a comma,
/// a quote or a line break, unchanged otherwise.
QString CsvField(const QString &text);

/// The game's lines, one per player (CRLF-terminated); a game without players gets one line
/// with empty player cells. Cells that do not apply to the game's mode are empty.
QString CsvLines(const GameRecord &game);

/// Writes the header and the games as UTF-8 CSV. False (with `error` set) when the device
/// refuses the text or the games cannot be read.
bool WriteCsv(QIODevice &device, const QList<GameRecord> &games, QString *error = nullptr);
bool WriteCsv(QIODevice &device, const ResultsStore &store, QString *error = nullptr);

} // namespace results
