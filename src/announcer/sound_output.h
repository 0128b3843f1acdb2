// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QThread;

namespace announcer
{

class ToneWorker;
class VoiceWorker;

/// Plays tone blocks and speaks lines on threads of its own, so a sound system that is missing,
/// slow or hung never holds up the caller's thread. Opens nothing until the first tone or line,
/// and closes the audio output once a block has played, so an idle program costs no wake-ups.
class SoundOutput : public QObject
{
    Q_OBJECT
public:
    explicit SoundOutput(QObject *parent = nullptr);
    ~SoundOutput() override;

    /// Plays `pcm` (16-bit mono, see RenderTones) from now, replacing a block still playing;
    /// tonesHeard() tells when its first sample is heard.
    void play(const QByteArray &pcm, int token);
    /// Gets the sound system ready on the tone thread (no output is opened), so that the first
    /// block is not late; a missing output is reported then.
    void prepare();
    /// Ends the tones now playing.
    void stopTones();
    /// Says nothing more this run (the sound system went away); voiceFailed(`message`).
    void stopVoice(const QString &message);
    /// Speaks `line` as plain text after the lines before it, at `volume` (0..1).
    void say(const QString &line, double volume);

Q_SIGNALS:
    /// The block `token` is heard `delayMs` after play() was called: the time to open the
    /// output plus the output's latency as it reports it.
    void tonesHeard(int token, qint64 delayMs);
    /// No tones can be played: `message` says why, for the user.
    void tonesFailed(const QString &message);
    /// Nothing can be spoken: `message` says why, for the user.
    void voiceFailed(const QString &message);

private:
    QThread *m_toneThread = nullptr;
    QThread *m_voiceThread = nullptr;
    ToneWorker *m_tones = nullptr;
    VoiceWorker *m_voice = nullptr;
};

} // namespace announcer
