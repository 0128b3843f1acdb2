// SPDX-License-Identifier: MIT
#pragma once

#include "announcer/cue_plan.h"

#include <QByteArray>
#include <QList>

namespace announcer
{

/// The sample rate of the tones, in Hz.
inline constexpr int kSampleRate = 48000;

/// The tones as 16-bit signed mono PCM at kSampleRate, the first cue at the block's start and
/// the others at their offsets from it; `volume` is 0..1. Each tone fades in and out over a
/// few milliseconds so it starts and ends without a click. Empty for no cues.
QByteArray RenderTones(const QList<ToneCue> &cues, double volume);

} // namespace announcer
