// SPDX-License-Identifier: MIT
#include "measurement/speed_mode.h"

#include "measurement/colour_bands.h"
#include "shared/decimal_text.h"

#include <QLocale>
#include <QStringView>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace speed_mode
{

namespace
{

    using rotavex::kFirstPlayer;
    using rotavex::kLastPlayer;

    // Far above any rpm; keeps an absurd tag from overflowing while it is read.
    constexpr qint64 kRecordCeiling = 1'000'000'000'000;

    // The tag normally holds digits we wrote ourselves; anything after a leading number is
    // ignored and a tag without one (the empty tag at start-up) counts as no record.
    qint64 recordFromTag(QStringView tag)
    {
        return decimal_text::parseLeading(tag, kRecordCeiling);
    }

    void runFilters(MeasurementState &state, PlayerRpm &playerRpm, bool reset)
    {
        for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
            FilterSample(state.filters[p], playerRpm[p], reset);
        }
    }

    // Equal values count as reaching a record, so the same text is written again.
    void updateRecords(const PlayerRpm &playerRpm, Board &board, const QString &suffix)
    {
        for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
            const qint32 rpm = playerRpm[p];
            if (recordFromTag(board.recordTag(p)) <= rpm) {
                const QString digits = QString::number(rpm);
                board.setRecordTag(p, digits);
                board.setRecordCaption(p, digits + suffix);
            }
            if (!(board.bigDisplayValue() > rpm)) {
                board.setBigDisplayValue(rpm);
            }
        }
    }

    // Starting a fresh page before writing, rather than after the last row, keeps every sample
    // on the chart for at least one handover.
    qint16 nextRow(qint16 &row, ChartTable &chart)
    {
        if (row < 0 || row >= kChartRows) {
            chart.clear();
            row = 0;
        }
        return ++row;
    }

    void writeChartRow(ChartTable &chart, qint16 row, const PlayerRpm &playerRpm)
    {
        for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
            chart.setCell(row, p, playerRpm[p]);
        }
    }

    void handOverLabels(const PlayerName &playerName, Board &board)
    {
        for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
            board.setChartColumnLabel(p, playerName[p]);
        }
    }

    void handOverChart(const ChartTable &chart, const PlayerName &playerName, Board &board)
    {
        board.setChartData(chart);
        handOverLabels(playerName, board);
    }

    // Whole revolutions grouped by the user's locale; no revolutions show no digits at all.
    QString revolutionCaption(double revolutions)
    {
        const qlonglong whole = std::llround(revolutions);
        const QString digits = whole == 0 ? QString() : QLocale().toString(whole);
        return digits + QStringLiteral(" rev");
    }

    void resetBoard(Board &board, const QString &speedCaption)
    {
        const QString zeroRecord = QStringLiteral("0 rpm");
        for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
            board.setSpeedCaption(p, speedCaption);
            board.setRecordCaption(p, zeroRecord);
            board.setBarValue(p, 0.0);
        }
    }

} // namespace

void UpdateSpeedMode(MeasurementState &state, PlayerRpm &playerRpm, const PlayerName &playerName,
    Board &board, bool reset)
{
    runFilters(state, playerRpm, reset);

    if (reset) {
        resetBoard(board, QStringLiteral("0 rpm"));
        state.SpeedRow = 0;
        state.chart.clear();
        handOverChart(state.chart, playerName, board);
        return;
    }

    // Player 1's rejection is turned into "no speed" so its next filter run starts from 0.
    if (playerRpm[1] == kRejected) {
        playerRpm[1] = 0;
        return;
    }
    for (PlayerSlot p = kFirstPlayer + 1; p <= kLastPlayer; ++p) {
        if (playerRpm[p] == kRejected) {
            return;
        }
    }

    updateRecords(playerRpm, board, QStringLiteral(" rpm"));

    const qint16 row = nextRow(state.SpeedRow, state.chart);
    writeChartRow(state.chart, row, playerRpm);

    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        const qint32 rpm = playerRpm[p];
        board.setNameCaption(p, playerName[p]);
        board.setSpeedCaption(p, u' ' + QString::number(rpm) + QStringLiteral(" rpm"));
        board.setBarValue(p, static_cast<double>(rpm));
    }
    SetSpeedColours(board);
    handOverChart(state.chart, playerName, board);
}

void UpdateStrengthMode(MeasurementState &state, PlayerRpm &playerRpm, const PlayerName &playerName,
    Board &board, bool reset)
{
    runFilters(state, playerRpm, reset);

    if (reset) {
        resetBoard(board, QStringLiteral("0 rev"));
        state.StrengthRow = 0;
        state.chart.clear();
        board.setChartData(state.chart);
        state.RevTotal.fill(0.0);
        state.RpmSum.fill(0.0);
        state.StrengthTicks = 0;
        handOverLabels(playerName, board);
        return;
    }

    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        if (playerRpm[p] == kRejected) {
            return;
        }
    }

    const qint16 row = nextRow(state.StrengthRow, state.chart);
    ++state.StrengthTicks;
    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        const qint32 rpm = playerRpm[p];
        state.chart.setCell(row, p, rpm);
        state.RpmSum[p] += static_cast<double>(rpm);
        state.RevTotal[p] += static_cast<double>(rpm) / 60.0;
    }

    updateRecords(playerRpm, board, QStringLiteral(" rpm max"));

    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        board.setNameCaption(p, playerName[p]);
        board.setSpeedCaption(p, revolutionCaption(state.RevTotal[p]));
        board.setBarValue(p, std::floor(state.RpmSum[p] / state.StrengthTicks));
    }
    SetSpeedColours(board);
    handOverChart(state.chart, playerName, board);
}

} // namespace speed_mode
