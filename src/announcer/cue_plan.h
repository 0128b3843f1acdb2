// SPDX-License-Identifier: MIT
#pragma once

#include "shared/play_mode.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace announcer
{

/// The tones the program plays; each has its own pitch and length (ToneShapeOf).
enum class Tone { Count = 1, Go = 2, Tick = 3, Horn = 4, Chime = 5 };

/// One tone at a time on the caller's monotonic clock, in milliseconds.
struct ToneCue {
    Tone tone;
    qint64 atMs;
    bool operator==(const ToneCue &) const = default;
};

/// How a tone sounds: its pitch (a second pitch an octave and a fifth up for the horn) and
/// how long it lasts.
struct ToneShape {
    int hz;
    int ms;
};
ToneShape ToneShapeOf(Tone tone);

/// What to play and say after one event; `cancel` drops tones planned before and not yet
/// played (a count-in stopped part-way).
struct Cues {
    QList<ToneCue> tones;
    QStringList lines;
    bool cancel = false;
    bool operator==(const Cues &) const = default;
};

/// The count-in: three short tones a second apart, then the go tone a second after the last.
inline constexpr int kCountInSteps = 3;
inline constexpr qint64 kCountInStepMs = 1000;
inline constexpr qint64 kGoAfterMs = kCountInSteps * kCountInStepMs;
/// The countdown's last seconds that tick.
inline constexpr int kTickSeconds = 5;
/// Names are cut to this many characters when spoken.
inline constexpr int kSpokenNameLength = 24;

/// The number a count-in shows `elapsedMs` after it began: 3, 2, 1, then 0 from the go tone on
/// (and before it began).
int CountInNumber(qint64 elapsedMs);

/// A name as it is spoken: plain text, trimmed, at most kSpokenNameLength characters; the
/// characters a speech engine could take for markup or commands, and control characters,
/// become blanks. "" stays "".
QString SpokenName(const QString &name);
/// A whole number as spoken lines write it, grouped by thousands with a blank: "12 345".
QString SpokenNumber(qint64 value);
/// "Heat 5 of 24: Ana, Ben, Cleo and Dan"; free seats ("") are left out.
QString HeatLine(const QString &title, const QStringList &seats);
/// "Ana wins with 1 234 revolutions" (Strength) or "Ana wins with 12 345 rpm" (Speed).
QString WinnerLine(const QString &name, rotavex::PlayMode mode, qint64 value);
/// "New record: Ben, 12 345 rpm".
QString RecordLine(const QString &name, qint32 rpm);

/// What a game's end is about, in plain values.
struct GameEnd {
    rotavex::PlayMode mode = rotavex::PlayMode::Strength;
    bool timeUp = false; ///< ran out or reached its time limit (not stopped by hand)
    QString winner; ///< "" when nobody scored
    qint64 winnerValue = 0; ///< revolutions (Strength) or rpm (Speed)
    QString bestName; ///< who made the game's best rpm
    qint32 bestRpm = 0;
};

/// Turns the game's events into tones and lines, on a clock given with each event. Holds the
/// best rpm heard of so far, so only a new top record chimes. Pure logic: no timer, no sound.
class CuePlan
{
public:
    /// The best rpm of the Best list so far; a record must beat it to chime.
    void setTopRecord(qint32 rpm) { m_topRpm = rpm; }

    /// Start was asked for at `nowMs`: with a count-in its four tones, else nothing.
    Cues startRequested(qint64 nowMs, bool countIn);
    /// Stop: a count-in under way is called off.
    Cues stopped(qint64 nowMs);
    /// The game shows `secondsLeft` (a Strength countdown, a Speed heat's limit): a tick in
    /// each of the last seconds, the horn at 0.
    Cues secondsLeft(qint64 nowMs, int secondsLeft);
    /// A heat was called to the board.
    Cues heatCalled(const QString &title, const QStringList &seats);
    /// A game ended: the horn when its time was up (once with the 0 above), the winner (a Strength
    /// game, or any game of a heat), and a chime with the record when the game beat the top record.
    Cues gameEnded(qint64 nowMs, const GameEnd &end, bool heat);

private:
    void horn(qint64 nowMs, Cues &cues);

    qint64 m_countInEndsMs = -1;
    qint64 m_hornAtMs = -1; ///< the go tone's time while a count-in is planned
    qint32 m_topRpm = 0;
};

} // namespace announcer
