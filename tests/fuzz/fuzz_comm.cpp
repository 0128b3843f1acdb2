// SPDX-License-Identifier: MIT
// Feeds arbitrary byte streams to the decoder as reads on up to four ports and checks what it
// promises: samples are -1, 0 or an rpm in range, positions stay inside the frame, and how a
// port's bytes are cut into reads never changes where its state ends up.
#include "link/comm.h"

#include <QByteArrayView>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using rotavex::LinkSeen;
using rotavex::PlayerSlot;

namespace
{

void check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

bool validSample(qint32 sample)
{
    return sample == -1 || sample == 0
        || (sample >= rotavex::kMinRpm && sample <= rotavex::kMaxRpm);
}

bool validPosition(const comm::PacketState &state)
{
    return state.Position >= 0 && state.Position <= 4;
}

} // namespace

// Input layout: a header byte (bits 0-1 the port, bits 2-7 the read length 0..63), then that
// many bytes of the read; repeated until the input ends. Every read is checked against the same
// bytes fed one at a time from the state before it, so no input needs a copy of its streams.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    comm::PortStates states;
    LinkSeen seen;

    std::size_t at = 0;
    while (at < size) {
        const PlayerSlot port = PlayerSlot((data[at] & 0x03) + 1);
        const std::size_t length = std::min<std::size_t>(data[at] >> 2, size - at - 1);
        ++at;
        const QByteArrayView read(reinterpret_cast<const char *>(data + at), qsizetype(length));
        at += length;

        comm::PacketState byByte = states[port];
        seen.fill(-1);
        const qint32 sample = comm::ReadPort(states[port], read, seen, port);
        check(validSample(sample));
        check(validPosition(states[port]));
        check(!read.isEmpty() || sample == 0);
        for (PlayerSlot other = rotavex::kFirstPlayer; other <= rotavex::kLastPlayer; ++other) {
            check(other == port ? (seen[other] == 0 || seen[other] == -1) : seen[other] == -1);
        }
        // A usable sample needs a completed frame.
        check(sample <= 0 || seen[port] == 0);

        // How the bytes are cut into reads never changes the state, the frames seen or the
        // sample: the last usable one.
        LinkSeen byByteSeen;
        byByteSeen.fill(-1);
        qint32 lastUsable = read.isEmpty() ? 0 : -1;
        for (const char byte : read) {
            const qint32 one = comm::ReadPort(byByte, QByteArrayView(&byte, 1), byByteSeen, port);
            check(validSample(one));
            lastUsable = one >= 0 ? one : lastUsable;
        }
        check(byByte == states[port]);
        check(byByteSeen == seen);
        check(lastUsable == sample);
    }
    return 0;
}
