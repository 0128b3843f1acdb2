// SPDX-License-Identifier: MIT
#include "link/comm.h"

#include <cmath>

namespace comm
{

namespace
{

    constexpr qint16 kHighPosition = 1;
    constexpr qint16 kLowPosition = 2;
    constexpr qint16 kEndPosition = 3;
    // Once past the end marker nothing is taken until the next "<", so counting further would
    // only risk overflowing the 16-bit counter on a long run of garbage.
    constexpr qint16 kPastFrame = 4;

    constexpr qint32 kMicrosecondsPerCount = 8;
    constexpr qint32 kMicrosecondsPerMinute = 60'000'000;
    // Periods are whole multiples of 8 µs, so this window yields exactly kMinRpm..kMaxRpm.
    constexpr qint32 kShortestPeriodUs = kMicrosecondsPerMinute / rotavex::kMaxRpm; // 3000
    constexpr qint32 kLongestPeriodUs = kMicrosecondsPerMinute / rotavex::kMinRpm; // 60000

} // namespace

qint32 ParseChar(PacketState &state, quint8 byte)
{
    qint32 result = -1;
    if (byte == quint8(kStartMarker)) {
        state.Position = 0;
    }
    if (state.Position == kHighPosition) {
        state.High = byte;
    }
    if (state.Position == kLowPosition) {
        state.Low = byte;
    }
    if (byte == quint8(kEndMarker) && state.Position == kEndPosition) {
        result = state.High * 256 + state.Low;
    }
    if (state.Position < kPastFrame) {
        ++state.Position;
    }
    return result;
}

qint32 CountToRpm(qint32 count)
{
    if (count == 0) {
        return 0;
    }
    const qint32 periodUs = kMicrosecondsPerCount * count;
    if (count < 0 || periodUs < kShortestPeriodUs || periodUs > kLongestPeriodUs) {
        return -1;
    }
    // Seconds per revolution first, then revolutions per minute, in double; within the window
    // this is exactly the integer quotient 60'000'000 / period.
    return static_cast<qint32>(std::floor(60.0 / (periodUs / 1000000.0)));
}

QByteArray encodeFrame(quint16 count)
{
    const char frame[] = { kStartMarker, char(count >> 8), char(count & 0xFF), kEndMarker };
    return QByteArray(frame, sizeof frame);
}

qint32 ReadPort(PacketState &state, QByteArrayView input, LinkSeen &linkSeen, PlayerSlot player)
{
    if (input.isEmpty()) {
        return 0;
    }
    qint32 sample = -1;
    for (const char ch : input) {
        const qint32 count = ParseChar(state, static_cast<quint8>(ch));
        if (count < 0) {
            continue;
        }
        const qint32 rpm = CountToRpm(count);
        if (rpm >= 0) {
            sample = rpm;
            // A device turning too slowly, or sending nonsense, must read 0 after the watchdog's
            // two ticks rather than keep its last speed on the board.
            linkSeen[player] = 0;
        }
    }
    return sample;
}

} // namespace comm
