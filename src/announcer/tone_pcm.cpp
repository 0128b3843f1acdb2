// SPDX-License-Identifier: MIT
#include "announcer/tone_pcm.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace announcer
{

namespace
{

    constexpr int kFadeSamples = kSampleRate / 200; // 5 ms

    qint64 SampleAt(qint64 ms) { return ms * kSampleRate / 1000; }

    // The horn is a low tone with its fifth, rougher and fuller than the beeps, so it carries
    // over a noisy room.
    double Wave(Tone tone, int hz, double t)
    {
        const double base = std::sin(2 * std::numbers::pi * hz * t);
        if (tone == Tone::Horn) {
            return 0.6 * base + 0.4 * std::sin(2 * std::numbers::pi * hz * 1.5 * t);
        }
        return base;
    }

} // namespace

QByteArray RenderTones(const QList<ToneCue> &cues, double volume)
{
    if (cues.isEmpty()) {
        return {};
    }
    const qint64 firstMs = std::min_element(cues.begin(), cues.end(), [](auto &a, auto &b) {
        return a.atMs < b.atMs;
    })->atMs;
    qint64 samples = 0;
    for (const ToneCue &cue : cues) {
        samples = std::max(samples, SampleAt(cue.atMs - firstMs + ToneShapeOf(cue.tone).ms));
    }
    QList<double> mix(samples, 0.0);
    for (const ToneCue &cue : cues) {
        const ToneShape shape = ToneShapeOf(cue.tone);
        const qint64 from = SampleAt(cue.atMs - firstMs);
        const qint64 length = SampleAt(shape.ms);
        for (qint64 i = 0; i < length; ++i) {
            const double fade =
                std::min({ 1.0, double(i) / kFadeSamples, double(length - 1 - i) / kFadeSamples });
            mix[from + i] += fade * Wave(cue.tone, shape.hz, double(i) / kSampleRate);
        }
    }
    const double gain = 0.7 * std::clamp(volume, 0.0, 1.0) * 32767;
    QByteArray pcm(samples * 2, Qt::Uninitialized);
    auto *out = reinterpret_cast<qint16 *>(pcm.data());
    for (qint64 i = 0; i < samples; ++i) {
        out[i] = qint16(std::lround(std::clamp(mix[i], -1.0, 1.0) * gain));
    }
    return pcm;
}

} // namespace announcer
