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

/// How the text cells (names and ports) are written. A spreadsheet opening the file runs a cell
/// that begins with "=", "+", "-", "@", a tab or a carriage return as a formula; the safe form
/// puts an apostrophe before such a cell so it stays text. Raw writes the text exactly as typed.
enum class CsvText { SpreadsheetSafe, Raw };

/// The field as RFC 4180 writes it: quoted (with inner quotes doubled) when it holds a comma,
/// a quote or a line break, unchanged otherwise.
QString CsvField(const QString &text);

/// A text cell: the field with the apostrophe of CsvText::SpreadsheetSafe where one is due, in
/// either style without control characters or lone UTF-16 halves (see WithoutControls()).
QString CsvTextCell(const QString &text, CsvText style);

/// The game's lines, one per player (CRLF-terminated); a game without players gets one line
/// with empty player cells. Cells that do not apply to the game's mode are empty.
QString CsvLines(const GameRecord &game, CsvText style = CsvText::SpreadsheetSafe);

/// Writes the header and the games as UTF-8 CSV. False (with `error` set to the device's or
/// the store's reason) when the device refuses the text or the games cannot be read.
bool WriteCsv(QIODevice &device, const QList<GameRecord> &games, QString *error = nullptr,
    CsvText style = CsvText::SpreadsheetSafe);
bool WriteCsv(QIODevice &device, const ResultsStore &store, QString *error = nullptr,
    CsvText style = CsvText::SpreadsheetSafe);

} // namespace results
