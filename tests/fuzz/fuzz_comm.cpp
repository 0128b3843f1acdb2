// SPDX-License-Identifier: MIT
// Feeds arbitrary byte streams to the decoder as reads on up to four ports and checks what it
// promises: samples are -1, 0 or an rpm in range, positions stay inside the frame, and how a
// port's bytes are cut into reads never changes where its state ends up.
#include "link/comm.h"

#include <QByteArray>

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
// many bytes of the read; repeated until the input ends.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    comm::PortStates states;
    LinkSeen seen;
    rotavex::PerPlayer<QByteArray> streams;
    rotavex::PerPlayer<bool> completed;

    std::size_t at = 0;
    while (at < size) {
        const PlayerSlot port = PlayerSlot((data[at] & 0x03) + 1);
        const std::size_t length = std::min<std::size_t>(data[at] >> 2, size - at - 1);
        ++at;
        const QByteArrayView read(reinterpret_cast<const char *>(data + at), qsizetype(length));
        at += length;

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
        completed[port] = completed[port] || seen[port] == 0;
        streams[port].append(read.data(), read.size());
    }

    // The same bytes in one read must leave every port in the same state.
    for (PlayerSlot port = rotavex::kFirstPlayer; port <= rotavex::kLastPlayer; ++port) {
        comm::PacketState whole;
        LinkSeen wholeSeen;
        wholeSeen.fill(-1);
        check(validSample(comm::ReadPort(whole, streams[port], wholeSeen, port)));
        check(whole == states[port]);
        check((wholeSeen[port] == 0) == completed[port]);
    }
    return 0;
}
