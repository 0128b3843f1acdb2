// SPDX-License-Identifier: MIT
// Drives the sample filters and both play modes with arbitrary sequences of samples, refresh
// ticks of either mode, Clear and the Strength reset, in any order, against a recording board,
// and checks what the board may ever show: well-formed captions, bars and the big display
// within 0..20000, colours from the bands, chart rows and cells in range.
#include "measurement/colour_bands.h"
#include "measurement/speed_mode.h"
#include "support/recording_board.h"

#include <QLocale>
#include <QStringView>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using rotavex::kFirstPlayer;
using rotavex::kLastPlayer;
using rotavex::PlayerSlot;

namespace
{

using rotavex::kMaxRpm;

void check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

// Reads the input one byte at a time; zeros once it runs out.
class Input
{
public:
    Input(const std::uint8_t *data, std::size_t size)
        : m_data(data)
        , m_size(size)
    {
    }
    bool atEnd() const { return m_at >= m_size; }
    std::uint8_t byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    // Two statements: the order of two calls within one expression is unspecified.
    std::uint16_t word()
    {
        const std::uint8_t high = byte();
        const std::uint8_t low = byte();
        return std::uint16_t(high << 8 | low);
    }

private:
    const std::uint8_t *m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

// A value PlayerRpm can hold when a refresh runs: a decoded speed, the watchdog's or an empty
// read's 0, or the -1 a rejected filter run left behind.
qint32 sampleFrom(Input &in)
{
    const std::uint8_t kind = in.byte();
    if (kind < 16) {
        return 0;
    }
    if (kind < 32) {
        return -1;
    }
    return 1000 + in.word() % (kMaxRpm - 1000 + 1);
}

bool allDigits(QStringView text)
{
    for (const QChar c : text) {
        if (c < u'0' || c > u'9') {
            return false;
        }
    }
    return !text.isEmpty();
}

std::optional<qint64> numberBefore(QStringView caption, const QString &suffix)
{
    if (!caption.endsWith(suffix)) {
        return std::nullopt;
    }
    const QStringView digits = caption.chopped(suffix.size());
    if (!allDigits(digits) || digits.size() > 9) {
        return std::nullopt;
    }
    return digits.toLongLong();
}

bool rpmCaption(const QString &caption, const QString &prefix, const QString &suffix)
{
    if (!caption.startsWith(prefix)) {
        return false;
    }
    const std::optional<qint64> rpm = numberBefore(QStringView(caption).mid(prefix.size()), suffix);
    return rpm && *rpm >= 0 && *rpm <= kMaxRpm;
}

// "###,###" in the en-US locale: groups of three digits, or nothing at all for 0.
bool revolutionCaption(const QString &caption)
{
    if (caption == QStringLiteral("0 rev")) {
        return true;
    }
    if (!caption.endsWith(QStringLiteral(" rev"))) {
        return false;
    }
    const QStringView number = QStringView(caption).chopped(4);
    if (number.isEmpty()) {
        return true;
    }
    const QList<QStringView> groups = number.split(u',');
    for (qsizetype i = 0; i < groups.size(); ++i) {
        const QStringView group = groups[i];
        const bool sized = i == 0 ? group.size() >= 1 && group.size() <= 3 : group.size() == 3;
        if (!sized || !allDigits(group) || (i == 0 && group[0] == u'0')) {
            return false;
        }
    }
    return true;
}

bool bandColour(quint32 bgr)
{
    for (const double value : { 0.0, 2501.0, 5001.0, 7501.0, 10001.0, 12501.0, 15001.0 }) {
        if (bgr == speed_mode::SpeedColour(value)) {
            return true;
        }
    }
    return false;
}

// Names the board may show: the captions follow a rename only at the next accepted tick.
// Fixed room, made once and reused, so no input allocates for it: a name at the start and one
// per rename.
constexpr int kMaxOperations = 24;
class NamesGiven
{
public:
    void clear() { m_count.fill(0); }
    void add(PlayerSlot p, const QString &name) { m_names[p][m_count[p]++] = name; }
    bool contains(PlayerSlot p, const QString &name) const
    {
        return std::find(m_names[p].begin(), m_names[p].begin() + m_count[p], name)
            != m_names[p].begin() + m_count[p];
    }

private:
    rotavex::PerPlayer<std::array<QString, kMaxOperations + 1>> m_names;
    rotavex::PerPlayer<int> m_count;
};

void checkBoard(const speed_mode::MeasurementState &state, const rotavex::PlayerRpm &playerRpm,
    const NamesGiven &names, const RecordingBoard &board)
{
    check(state.SpeedRow >= 0 && state.SpeedRow <= speed_mode::kChartRows);
    check(state.StrengthRow >= 0 && state.StrengthRow <= speed_mode::kChartRows);
    check(state.StrengthTicks >= 0);
    const double big = board.bigDisplayValue();
    check(big >= 0 && big <= kMaxRpm && big == std::floor(big));
    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        check(playerRpm[p] >= -1 && playerRpm[p] <= kMaxRpm);
        const QString speed = board.speedCaption(p);
        check(speed.isEmpty() || speed == QStringLiteral("0 rpm")
            || rpmCaption(speed, QStringLiteral(" "), QStringLiteral(" rpm"))
            || revolutionCaption(speed));
        const QString record = board.recordCaption(p);
        check(record.isEmpty() || rpmCaption(record, QString(), QStringLiteral(" rpm"))
            || rpmCaption(record, QString(), QStringLiteral(" rpm max")));
        const QString tag = board.recordTag(p);
        const std::optional<qint64> tagRpm = numberBefore(tag, QString());
        check(tag.isEmpty() || (tagRpm && *tagRpm <= kMaxRpm));
        const double bar = board.barValue(p);
        check(std::isfinite(bar) && bar >= 0 && bar <= kMaxRpm);
        check(board.barColour(p) == 0 || bandColour(board.barColour(p)));
        check(board.nameCaption(p).isEmpty() || names.contains(p, board.nameCaption(p)));
        // Every chart write goes to the row a counter now points at.
        for (const qint16 row : { state.SpeedRow, state.StrengthRow }) {
            if (row > 0) {
                const speed_mode::ChartTable::Cell cell = state.chart.cell(row, p);
                check(!cell || (*cell >= 0 && *cell <= kMaxRpm));
            }
        }
        if (board.chartHandovers() > 0) {
            check(names.contains(p, board.columnLabel(p)));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    return 0;
}

// Sets up the state a long run may have left: row counters anywhere on their page, filter
// histories, Strength totals, records. Everything is reachable, so a few operations after it
// cover what would otherwise take hundreds of refreshes per input.
void presetState(Input &in, speed_mode::MeasurementState &state, RecordingBoard &board)
{
    state.SpeedRow = qint16(in.byte() % (speed_mode::kChartRows + 1));
    state.StrengthRow = qint16(in.byte() % (speed_mode::kChartRows + 1));
    state.StrengthTicks = in.byte();
    qint32 best = 0;
    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        state.filters[p] = { sampleFrom(in), sampleFrom(in), sampleFrom(in), sampleFrom(in) };
        const qint32 mean = in.word() % (kMaxRpm + 1);
        state.RpmSum[p] = double(mean) * state.StrengthTicks;
        state.RevTotal[p] = state.RpmSum[p] / 60.0;
        const qint32 record = std::max(0, sampleFrom(in));
        best = std::max(best, record);
        board.setRecordTag(p, in.byte() % 2 ? QString::number(record) : QString());
    }
    board.setBigDisplayValue(best);
}

// Allocation stacks are what makes ASan slow on a target this heavy in small strings; a failure
// is reproduced with ASAN_OPTIONS=malloc_context_size=30 when its allocation stack matters.
extern "C" const char *__asan_default_options() { return "malloc_context_size=0"; }

// Input: the preset state, then a list of operations, each an opcode byte and its operands.
// Operations and refreshes per input are capped to keep every run short.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    constexpr int kMaxUpdates = 5;
    Input in(data, size);
    speed_mode::MeasurementState state;
    rotavex::PlayerRpm playerRpm;
    rotavex::PlayerName names { { QStringLiteral("Ann"), QStringLiteral("Ben"),
        QStringLiteral("Cy"), QStringLiteral("Dee") } };
    RecordingBoard board;
    board.setLogging(false);
    presetState(in, state, board);
    static NamesGiven namesGiven;
    namesGiven.clear();
    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        namesGiven.add(p, names[p]);
    }
    // Every update of the board is checked right after it; samples alone change nothing shown.
    int updates = 0;
    const auto update = [&](auto &&run) {
        if (++updates > kMaxUpdates) {
            return;
        }
        run();
        checkBoard(state, playerRpm, namesGiven, board);
    };
    const auto tick = [&](bool strength) {
        update([&] {
            const int handovers = board.chartHandovers();
            (strength ? speed_mode::UpdateStrengthMode : speed_mode::UpdateSpeedMode)(
                state, playerRpm, names, board, false);
            // An accepted tick colours every bar by the value it now shows.
            if (board.chartHandovers() != handovers) {
                for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
                    check(board.barColour(p) == speed_mode::SpeedColour(board.barValue(p)));
                }
            }
        });
    };

    for (int operations = 0; operations < kMaxOperations && !in.atEnd(); ++operations) {
        switch (in.byte() % 8) {
        case 0:
        case 1: // a serial event stores a sample
            playerRpm[PlayerSlot(1 + in.byte() % 4)] = sampleFrom(in);
            break;
        case 2: // the watchdog finds a link silent
            playerRpm[PlayerSlot(1 + in.byte() % 4)] = 0;
            break;
        case 3:
            tick(false);
            break;
        case 4:
            tick(true);
            break;
        case 5: { // refreshes with no new samples in between
            const std::uint8_t run = in.byte();
            for (int i = 0; i <= run % 4; ++i) {
                tick(run & 0x80);
            }
            break;
        }
        case 6: // Clear, as Start runs it before every game
            update([&] {
                board.setBigDisplayValue(0);
                for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
                    board.setRecordTag(p, QStringLiteral("0"));
                }
                speed_mode::UpdateSpeedMode(state, playerRpm, names, board, true);
            });
            break;
        case 7: // the Strength reset a Strength game starts with, or a renamed player
            if (in.byte() % 2) {
                update(
                    [&] { speed_mode::UpdateStrengthMode(state, playerRpm, names, board, true); });
            } else {
                const PlayerSlot p = PlayerSlot(1 + in.byte() % 4);
                names[p] = QString::number(in.word());
                namesGiven.add(p, names[p]);
            }
            break;
        }
    }
    return 0;
}
