// SPDX-License-Identifier: MIT
#include "measurement/speed_mode.h"

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

    constexpr qint32 kRejected = -1;
    constexpr qint32 kJumpLimitRpm = 4200;
    // Slow samples are never taken for spikes: a device coming to rest must get through.
    constexpr qint32 kJumpFloorRpm = 1000;
    // Far above any rpm; keeps an absurd tag from overflowing while it is read.
    constexpr qint64 kRecordCeiling = 1'000'000'000'000;

    qint32 medianOf(qint32 a, qint32 b, qint32 c)
    {
        return std::max(std::min(a, b), std::min(std::max(a, b), c));
    }

    // The tag normally holds digits we wrote ourselves; anything after a leading number is
    // ignored and a tag without one (the empty tag at start-up) counts as no record.
    qint64 recordFromTag(QStringView tag)
    {
        qsizetype i = 0;
        bool negative = false;
        if (i < tag.size() && (tag[i] == u'+' || tag[i] == u'-')) {
            negative = tag[i] == u'-';
            ++i;
        }
        qint64 value = 0;
        for (; i < tag.size() && tag[i] >= u'0' && tag[i] <= u'9'; ++i) {
            value = std::min(value * 10 + (tag[i].unicode() - u'0'), kRecordCeiling);
        }
        return negative ? -value : value;
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

void FilterSample(FilterState &state, qint32 &sample, bool reset)
{
    if (reset) {
        state = FilterState {};
        return;
    }

    // Only a jump that appears this tick is taken for a spike. One that was already there on
    // the previous tick is a real change of speed (a hard spin-down, a fast spin-up): holding
    // it back for good would freeze the board at a speed the device no longer has.
    const auto isJump = [&state](qint32 rpm) {
        return rpm > kJumpFloorRpm && std::llabs(qint64 { rpm } - state.Reference) > kJumpLimitRpm;
    };
    const qint32 arrived = sample;
    if (state.Reference > 0 && isJump(sample) && !isJump(state.Previous)) {
        sample = state.Reference;
    }
    state.Previous = arrived;

    state.Oldest = state.Middle;
    state.Middle = state.Newest;
    state.Newest = sample;
    const qint32 median = medianOf(state.Oldest, state.Middle, state.Newest);

    const double reference = state.Reference;
    const double upper = reference + reference / 3.0;
    const double lower = reference - reference / 3.0;
    const bool outside = median < lower || median > upper;
    const bool rejected = outside && median > 0 && state.Reference > 0;

    // A rejected median still becomes the reference, so a real change of speed is accepted
    // on the next tick instead of being rejected for ever.
    state.Reference = median;
    if (rejected) {
        sample = kRejected;
    } else if (sample != 0) {
        sample = median;
    }
}

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

quint32 SpeedColour(double value)
{
    struct Band {
        double aboveRpm;
        quint32 bgr;
    };
    // Highest band first; a bound itself belongs to the band below it.
    static constexpr std::array<Band, 6> kBands { {
        { 15000.0, 0x0000FF }, // red
        { 12500.0, 0xFF00FF }, // magenta
        { 10000.0, 0x0080FF }, // orange
        { 7500.0, 0x00FFFF }, // yellow
        { 5000.0, 0x00FF00 }, // green
        { 2500.0, 0xFFFF80 }, // light cyan
    } };
    constexpr quint32 kRestingGrey = 0xE0E0E0;
    for (const Band &band : kBands) {
        if (value > band.aboveRpm) {
            return band.bgr;
        }
    }
    return kRestingGrey;
}

void SetSpeedColours(Board &board)
{
    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        board.setBarColour(p, SpeedColour(board.barValue(p)));
    }
}

} // namespace speed_mode
