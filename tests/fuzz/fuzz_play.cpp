// SPDX-License-Identifier: MIT
// Drives a game session with arbitrary sequences of samples, refresh and countdown ticks,
// Start, Stop, Clear, the preset button, links and renames, in any order, and checks what the
// board may ever show: well-formed captions, bars and the big display within 0..20000,
// colours from the bands, chart cells in range, and one record per game.
#include "game/game_session.h"
#include "main_window/board_text.h"
#include "measurement/colour_bands.h"

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

constexpr int kMaxOperations = 24;

void checkSnapshot(const game::Snapshot &snapshot, const rotavex::PlayerName &names)
{
    check(snapshot.topRpm >= 0 && snapshot.topRpm <= kMaxRpm);
    check(snapshot.countdownSeconds >= 0 && snapshot.countdownSeconds <= 90);
    for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
        const QString speed = board_text::SpeedCaption(snapshot, p);
        check(speed == QStringLiteral("0 rpm")
            || rpmCaption(speed, QStringLiteral(" "), QStringLiteral(" rpm"))
            || revolutionCaption(speed));
        const QString record = board_text::RecordCaption(snapshot, p);
        check(rpmCaption(record, QString(), QStringLiteral(" rpm"))
            || rpmCaption(record, QString(), QStringLiteral(" rpm max")));
        const QString tag = board_text::RecordTag(snapshot, p);
        const std::optional<qint64> tagRpm = numberBefore(tag, QString());
        check(tag.isEmpty() || (tagRpm && *tagRpm <= snapshot.topRpm));
        const game::PlayerSnapshot &player = snapshot.players[p];
        check(std::isfinite(player.bar) && player.bar >= 0 && player.bar <= kMaxRpm);
        check(!player.barColour || bandColour(*player.barColour));
        check(player.name == names[p]);
    }
}

// The chart only ever holds speeds in range; checked once per input, it is 360 cells.
void checkChart(const speed_mode::ChartTable &chart)
{
    for (int row = 1; row <= speed_mode::kChartRows; ++row) {
        for (PlayerSlot p = kFirstPlayer; p <= kLastPlayer; ++p) {
            const speed_mode::ChartTable::Cell cell = chart.cell(row, p);
            check(!cell || (*cell >= 0 && *cell <= kMaxRpm));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    return 0;
}

// Allocation stacks are what makes ASan slow on a target this heavy in small strings; a failure
// is reproduced with ASAN_OPTIONS=malloc_context_size=30 when its allocation stack matters.
extern "C" const char *__asan_default_options() { return "malloc_context_size=0"; }

// Input: a list of operations, each an opcode byte and its operands. Operations per input are
// capped to keep every run short.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Input in(data, size);
    game::GameSession session;
    rotavex::PlayerName names { { QStringLiteral("Ann"), QStringLiteral("Ben"),
        QStringLiteral("Cy"), QStringLiteral("Dee") } };
    session.setPlayerNames(names);
    port_events::LatestSamples latest;
    int records = 0;
    bool replaceable = false;
    QObject::connect(&session, &game::GameSession::ended, [&](const results::GameRecord &game) {
        // A resumed game's record takes the place of the one its stop made.
        check(!game.resumed || replaceable);
        check(!game.resumed || !game.complete);
        check(game.ticks > 0 && game.players.size() <= rotavex::kPlayerCount);
        ++records;
        replaceable = game.mode == rotavex::PlayMode::Strength;
    });

    for (int operations = 0; operations < kMaxOperations && !in.atEnd(); ++operations) {
        const std::uint8_t op = in.byte();
        switch (op % 10) {
        case 0:
        case 1: { // a serial event stores a sample (or the watchdog a 0)
            const PlayerSlot p = PlayerSlot(1 + in.byte() % 4);
            latest.rpm[p] = op % 10 == 0 ? sampleFrom(in) : 0;
            ++latest.stored[p];
            break;
        }
        case 2:
            session.refreshTick(latest);
            break;
        case 3: { // refreshes with no new samples in between
            const std::uint8_t run = in.byte();
            for (int i = 0; i <= run % 4; ++i) {
                session.refreshTick(latest);
            }
            break;
        }
        case 4:
            session.countdownTick(latest);
            break;
        case 5:
            if (session.snapshot().running) {
                session.stop();
            } else {
                session.start(
                    in.byte() % 2 ? game::PlayMode::Strength : game::PlayMode::Speed, QDateTime());
            }
            break;
        case 6:
            session.clear();
            break;
        case 7:
            session.nextPreset();
            break;
        case 8: {
            const PlayerSlot p = PlayerSlot(1 + in.byte() % 4);
            session.setLink(p, in.byte() % 2, qint16(1 + p));
            break;
        }
        case 9: {
            const PlayerSlot p = PlayerSlot(1 + in.byte() % 4);
            names[p] = QString::number(in.word());
            session.setPlayerNames(names);
            break;
        }
        }
        checkSnapshot(session.snapshot(), names);
    }
    checkChart(session.snapshot().chart);
    return 0;
}
