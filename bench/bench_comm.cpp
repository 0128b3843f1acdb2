// SPDX-License-Identifier: MIT
// Decoder throughput: bytes per second through comm::ReadPort, cut into reads the size a
// serial event typically delivers.
#include "link/comm.h"

#include <QByteArray>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>

namespace
{

constexpr qsizetype kStreamBytes = 1 << 20;

// A deterministic generator, so every run decodes the same stream.
std::uint32_t nextRandom(std::uint32_t &seed)
{
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
}

// Frames of a device spinning up and down between about 900 and 20000 rpm, with the
// occasional out-of-window count and a stray byte now and then, as a real link delivers.
QByteArray realisticStream()
{
    QByteArray stream;
    stream.reserve(kStreamBytes + 8);
    std::uint32_t seed = 1;
    int count = 375;
    int step = 7;
    while (stream.size() < kStreamBytes) {
        count += step;
        if (count > 8200 || count < 375) {
            step = -step;
        }
        stream += comm::encodeFrame(quint16(count));
        if (nextRandom(seed) % 64 == 0) {
            stream.append(char(nextRandom(seed)));
        }
    }
    return stream;
}

QByteArray garbageStream()
{
    QByteArray stream(kStreamBytes, Qt::Uninitialized);
    std::uint32_t seed = 7;
    for (char &byte : stream) {
        byte = char(nextRandom(seed));
    }
    return stream;
}

void decode(benchmark::State &state, const QByteArray &stream)
{
    const qsizetype readBytes = state.range(0);
    comm::PacketState packet;
    rotavex::LinkSeen seen;
    for (auto _ : state) {
        qint32 last = 0;
        for (qsizetype at = 0; at < stream.size(); at += readBytes) {
            const QByteArrayView read =
                QByteArrayView(stream).sliced(at, std::min(readBytes, stream.size() - at));
            last = comm::ReadPort(packet, read, seen, 1);
        }
        benchmark::DoNotOptimize(last);
    }
    state.SetBytesProcessed(state.iterations() * stream.size());
}

void BM_ReadPortFrames(benchmark::State &state)
{
    static const QByteArray stream = realisticStream();
    decode(state, stream);
}

void BM_ReadPortGarbage(benchmark::State &state)
{
    static const QByteArray stream = garbageStream();
    decode(state, stream);
}

} // namespace

// Read sizes: one byte per event, a frame or two, a backlog after a busy moment.
BENCHMARK(BM_ReadPortFrames)->Arg(1)->Arg(8)->Arg(1024);
BENCHMARK(BM_ReadPortGarbage)->Arg(1)->Arg(8)->Arg(1024);

BENCHMARK_MAIN();
