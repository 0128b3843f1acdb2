// SPDX-License-Identifier: MIT
#include "announcer/cue_plan.h"

#include <cstdlib>

namespace announcer
{

ToneShape ToneShapeOf(Tone tone)
{
    // The go tone is an octave above the count and three times as long, so nobody mistakes
    // the fourth tone for a fourth count.
    switch (tone) {
    case Tone::Count:
        return { 880, 180 };
    case Tone::Go:
        return { 1760, 600 };
    case Tone::Tick:
        return { 1320, 60 };
    case Tone::Horn:
        return { 220, 900 };
    case Tone::Chime:
        return { 1568, 300 };
    }
    return { 880, 100 };
}

int CountInNumber(qint64 elapsedMs)
{
    if (elapsedMs < 0 || elapsedMs >= kGoAfterMs) {
        return 0;
    }
    return kCountInSteps - int(elapsedMs / kCountInStepMs);
}

QString SpokenName(const QString &name)
{
    QString spoken;
    spoken.reserve(name.size());
    for (const QChar c : name) {
        // Angle brackets and ampersands are what speech markup is made of; backslashes and
        // braces start some engines' inline commands.
        const bool markup = QStringLiteral("<>&\\{}[]").contains(c);
        spoken.append(markup || c.category() == QChar::Other_Control ? QChar(u' ') : c);
    }
    spoken = spoken.simplified();
    if (spoken.size() > kSpokenNameLength) {
        spoken.truncate(kSpokenNameLength);
        // A hyphen or a comma left dangling at the cut would be read out or paused on.
        while (!spoken.isEmpty() && !spoken.back().isLetterOrNumber()) {
            spoken.chop(1);
        }
    }
    return spoken;
}

QString SpokenNumber(qint64 value)
{
    const QString digits = QString::number(value < 0 ? -value : value);
    QString grouped;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            grouped.append(u' ');
        }
        grouped.append(digits[i]);
    }
    return value < 0 ? QLatin1Char('-') + grouped : grouped;
}

QString HeatLine(const QString &title, const QStringList &seats)
{
    QStringList names;
    for (const QString &seat : seats) {
        const QString name = SpokenName(seat);
        if (!name.isEmpty()) {
            names.append(name);
        }
    }
    QString line = SpokenName(title);
    if (names.isEmpty()) {
        return line;
    }
    const QString last = names.takeLast();
    line += QStringLiteral(": ");
    if (!names.isEmpty()) {
        line += names.join(QStringLiteral(", ")) + QStringLiteral(" and ");
    }
    return line + last;
}

QString WinnerLine(const QString &name, rotavex::PlayMode mode, qint64 value)
{
    return QStringLiteral("%1 wins with %2 %3")
        .arg(SpokenName(name), SpokenNumber(value),
            mode == rotavex::PlayMode::Strength ? QStringLiteral("revolutions")
                                                : QStringLiteral("rpm"));
}

QString RecordLine(const QString &name, qint32 rpm)
{
    return QStringLiteral("New record: %1, %2 rpm").arg(SpokenName(name), SpokenNumber(rpm));
}

Cues CuePlan::startRequested(qint64 nowMs, bool countIn)
{
    Cues cues;
    if (!countIn) {
        return cues;
    }
    for (int step = 0; step < kCountInSteps; ++step) {
        cues.tones.append({ Tone::Count, nowMs + step * kCountInStepMs });
    }
    m_countInEndsMs = nowMs + kGoAfterMs;
    cues.tones.append({ Tone::Go, m_countInEndsMs });
    return cues;
}

Cues CuePlan::stopped(qint64 nowMs)
{
    Cues cues;
    cues.cancel = m_countInEndsMs >= 0 && nowMs < m_countInEndsMs;
    m_countInEndsMs = -1;
    return cues;
}

Cues CuePlan::secondsLeft(qint64 nowMs, int secondsLeft)
{
    Cues cues;
    if (secondsLeft >= 1 && secondsLeft <= kTickSeconds) {
        cues.tones.append({ Tone::Tick, nowMs });
    } else if (secondsLeft == 0) {
        // A game nobody played to the end still ends on the horn; no game record follows.
        horn(nowMs, cues);
    }
    return cues;
}

void CuePlan::horn(qint64 nowMs, Cues &cues)
{
    // The end of the time and the game's end come as two events of the same moment.
    if (m_hornAtMs >= 0 && std::abs(nowMs - m_hornAtMs) < kCountInStepMs) {
        return;
    }
    m_hornAtMs = nowMs;
    cues.tones.append({ Tone::Horn, nowMs });
}

Cues CuePlan::heatCalled(const QString &title, const QStringList &seats)
{
    Cues cues;
    cues.lines.append(HeatLine(title, seats));
    return cues;
}

Cues CuePlan::gameEnded(qint64 nowMs, const GameEnd &end, bool heat)
{
    Cues cues;
    m_countInEndsMs = -1;
    if (end.timeUp) {
        horn(nowMs, cues);
    }
    if (!end.winner.isEmpty() && (heat || end.mode == rotavex::PlayMode::Strength)) {
        cues.lines.append(WinnerLine(end.winner, end.mode, end.winnerValue));
    }
    if (end.bestRpm > m_topRpm) {
        m_topRpm = end.bestRpm;
        // After the horn has sounded, so the two are heard apart.
        const qint64 at = end.timeUp ? nowMs + ToneShapeOf(Tone::Horn).ms + 200 : nowMs;
        cues.tones.append({ Tone::Chime, at });
        cues.lines.append(RecordLine(end.bestName, end.bestRpm));
    }
    return cues;
}

} // namespace announcer
