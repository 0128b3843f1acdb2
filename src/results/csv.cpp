// SPDX-License-Identifier: MIT
#include "results/csv.h"

#include "results/plain_text.h"
#include "results/results_store.h"

#include <QIODevice>
#include <QTimeZone>

#include <algorithm>
#include <iterator>

namespace results
{

namespace
{

    QString number(const std::optional<int> &value)
    {
        return value ? QString::number(*value) : QString();
    }

    bool writeText(QIODevice &device, const QString &text, QString *error)
    {
        const QByteArray bytes = text.toUtf8();
        if (device.write(bytes) != bytes.size()) {
            if (error) {
                *error = device.errorString();
            }
            return false;
        }
        return true;
    }

    QString headerLine() { return QLatin1String(kCsvHeader) + QStringLiteral("\r\n"); }

} // namespace

QString IsoWithOffset(const QDateTime &time)
{
    const int offsetS = time.offsetFromUtc();
    const QDateTime shown = time.toOffsetFromUtc(offsetS);
    const int minutes = std::abs(offsetS) / 60;
    return shown.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))
        + QLatin1Char(offsetS < 0 ? '-' : '+')
        + QStringLiteral("%1:%2")
              .arg(minutes / 60, 2, 10, QLatin1Char('0'))
              .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString CsvField(const QString &text)
{
    const bool quote =
        text.contains(u',') || text.contains(u'"') || text.contains(u'\n') || text.contains(u'\r');
    if (!quote) {
        return text;
    }
    QString escaped = text;
    escaped.replace(u'"', QStringLiteral("\"\""));
    return u'"' + escaped + u'"';
}

QString CsvTextCell(const QString &raw, CsvText style)
{
    // Raw or not, a control byte would end a spreadsheet's reading of the file (a NUL) or
    // garble the cell.
    const QString text = WithoutControls(raw);
    static constexpr char16_t kFormulaStarts[] = { u'=', u'+', u'-', u'@', u'\t', u'\r' };
    const bool formula = style == CsvText::SpreadsheetSafe && !text.isEmpty()
        && std::find(std::begin(kFormulaStarts), std::end(kFormulaStarts), text.front().unicode())
            != std::end(kFormulaStarts);
    return CsvField(formula ? u'\'' + text : text);
}

QString CsvLines(const GameRecord &game, CsvText style)
{
    const bool strength = game.mode == PlayMode::Strength;
    const QString gameCells = QString::number(game.id) + u',' + IsoWithOffset(game.startedAt) + u','
        + ModeName(game.mode) + u',' + (strength ? number(game.presetSeconds) : QString()) + u','
        + QString::number(game.ticks) + u',' + (game.complete ? u'1' : u'0') + u',';
    if (game.players.isEmpty()) {
        return gameCells + QStringLiteral(",,,,,\r\n");
    }
    QString lines;
    for (const PlayerResult &player : game.players) {
        lines += gameCells + QString::number(player.player) + u',' + CsvTextCell(player.name, style)
            + u',' + CsvTextCell(player.port, style) + u',' + QString::number(player.bestRpm)
            + u',';
        if (strength && player.revolutions) {
            lines += QString::number(*player.revolutions, 'f', 2);
        }
        lines += u',';
        if (strength) {
            lines += number(player.meanRpm);
        }
        lines += QStringLiteral("\r\n");
    }
    return lines;
}

bool WriteCsv(QIODevice &device, const QList<GameRecord> &games, QString *error, CsvText style)
{
    if (!writeText(device, headerLine(), error)) {
        return false;
    }
    for (const GameRecord &game : games) {
        if (!writeText(device, CsvLines(game, style), error)) {
            return false;
        }
    }
    return true;
}

bool WriteCsv(QIODevice &device, const ResultsStore &store, QString *error, CsvText style)
{
    if (!writeText(device, headerLine(), error)) {
        return false;
    }
    bool written = true;
    const bool read = store.forEachGame([&](const GameRecord &game) {
        written = writeText(device, CsvLines(game, style), error);
        return written;
    });
    if (!read && error) {
        *error = store.lastError();
    }
    return read && written;
}

} // namespace results
