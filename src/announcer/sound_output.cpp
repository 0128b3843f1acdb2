// SPDX-License-Identifier: MIT
#include "announcer/sound_output.h"

#include "announcer/tone_pcm.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QTextToSpeech>
#include <QThread>

#include <algorithm>
#include <deque>

namespace announcer
{

namespace
{

    // Silence after a block, longer than the output's own buffer, so the end of the last tone
    // is played out before the output is closed.
    constexpr int kTailMs = 400;
    // What we ask the output to hold: short enough that "go" is heard close to when it is
    // played, long enough not to run dry on a loaded machine.
    constexpr int kBufferMs = 80;
    // Opening the output later than this after a block was asked for skips what is due; below
    // it the block plays whole and the count-in (whose clock follows it up to a second) moves.
    constexpr qint64 kLateOpenMs = 900;

    QAudioFormat ToneFormat()
    {
        QAudioFormat format;
        format.setSampleRate(kSampleRate);
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        return format;
    }

    // A spoken line's numbers are read as numbers, not digit by digit: "1 234" becomes "1234".
    QString SpeechText(const QString &line)
    {
        QString text = line;
        for (qsizetype i = text.size() - 2; i >= 1; --i) {
            if (text[i] == u' ' && text[i - 1].isDigit() && text[i + 1].isDigit()) {
                text.remove(i, 1);
            }
        }
        return text;
    }

} // namespace

/// Owns the audio output on the tone thread; made there on the first block.
class ToneWorker : public QObject
{
    Q_OBJECT
public:
    void play(const QByteArray &pcm, int token, QElapsedTimer requested)
    {
        stop();
        if (m_failed) {
            return;
        }
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull()) {
            fail(QStringLiteral(
                "No sound: this computer has no sound output. The games play on silently."));
            return;
        }
        const QAudioFormat format = ToneFormat();
        m_buffer = new QBuffer(this);
        // An output that took long to open (the first of the run, a busy server) would sound
        // the block late; what is already due is left out so the rest is heard on time.
        const qint64 openMs = requested.elapsed();
        const qint64 skipMs = openMs > kLateOpenMs ? openMs : 0;
        const qsizetype skip =
            std::min<qsizetype>(pcm.size(), format.bytesForDuration(skipMs * 1000) & ~1);
        m_buffer->setData(
            pcm.mid(skip) + QByteArray(format.bytesForDuration(kTailMs * 1000), '\0'));
        m_buffer->open(QIODevice::ReadOnly);
        m_sink = new QAudioSink(device, format, this);
        // A sound server gone away leaves a sink without a backend.
        if (m_sink->isNull()) {
            lost();
            return;
        }
        m_sink->setBufferSize(format.bytesForDuration(kBufferMs * 1000));
        connect(m_sink, &QAudioSink::stateChanged, this, [this](QAudio::State state) {
            if (!m_sink || m_sink->isNull()) {
                return;
            }
            if (state == QAudio::IdleState) {
                stop();
            } else if (state == QAudio::StoppedState && m_sink->error() != QAudio::NoError
                && m_sink->error() != QAudio::UnderrunError) {
                lost();
            }
        });
        m_sink->start(m_buffer);
        // A start that fails says so through stateChanged, which has let the sink go already.
        if (!m_sink) {
            return;
        }
        if (m_sink->error() != QAudio::NoError && m_sink->error() != QAudio::UnderrunError) {
            lost();
            return;
        }
        // The output plays what it holds before the first sample we gave it is heard.
        const qint64 latencyMs = format.durationForBytes(m_sink->bufferSize()) / 1000;
        Q_EMIT heard(token, requested.elapsed() - skipMs + latencyMs);
    }

    /// Connects to the sound system without opening an output, so the first block is not late.
    void prepare()
    {
        if (QMediaDevices::defaultAudioOutput().isNull()) {
            fail(QStringLiteral(
                "No sound: this computer has no sound output. The games play on silently."));
        }
    }

    void stop()
    {
        if (m_sink) {
            m_sink->disconnect(this);
            if (!m_sink->isNull()) {
                m_sink->stop();
            }
            m_sink->deleteLater();
            m_sink = nullptr;
        }
        if (m_buffer) {
            m_buffer->deleteLater();
            m_buffer = nullptr;
        }
    }

Q_SIGNALS:
    void heard(int token, qint64 delayMs);
    void failed(const QString &message);

private:
    void lost()
    {
        stop();
        // A sound server that went away may come back: the next block tries again, but the
        // user hears about it once.
        if (!m_told) {
            m_told = true;
            Q_EMIT failed(QStringLiteral("No sound: the sound output stopped working. The games "
                                         "play on silently."));
        }
    }
    void fail(const QString &message)
    {
        m_failed = true;
        m_told = true;
        Q_EMIT failed(message);
    }

    QAudioSink *m_sink = nullptr;
    QBuffer *m_buffer = nullptr;
    bool m_failed = false;
    bool m_told = false;
};

/// Owns the speech engine on the voice thread; made there on the first line.
class VoiceWorker : public QObject
{
    Q_OBJECT
public:
    void say(const QString &line, double volume)
    {
        if (m_failed) {
            return;
        }
        // The speech engine plays through the sound system itself and cannot take its going
        // away while it speaks: without an output nothing is said.
        if (QMediaDevices::defaultAudioOutput().isNull()) {
            stopSpeaking(QStringLiteral("No voice: there is no sound output, so heats and "
                                        "winners are not called out."));
            return;
        }
        if (!m_speech) {
            if (QTextToSpeech::availableEngines().isEmpty()) {
                m_failed = true;
                Q_EMIT failed(QStringLiteral("No voice: no speech engine is installed, so heats "
                                             "and winners are not called out."));
                return;
            }
            m_speech = new QTextToSpeech(this);
            connect(m_speech, &QTextToSpeech::stateChanged, this, [this](QTextToSpeech::State s) {
                if (s == QTextToSpeech::Ready) {
                    next();
                } else if (s == QTextToSpeech::Error) {
                    m_failed = true;
                    m_lines.clear();
                    Q_EMIT failed(QStringLiteral("No voice: the speech engine does not work, so "
                                                 "heats and winners are not called out."));
                }
            });
        }
        m_lines.push_back({ SpeechText(line), volume });
        if (m_speech->state() == QTextToSpeech::Ready) {
            next();
        }
    }

    /// Nothing more is said this run; `message` tells the user why.
    void stopSpeaking(const QString &message)
    {
        m_failed = true;
        m_lines.clear();
        if (m_speech) {
            m_speech->stop();
        }
        Q_EMIT failed(message);
    }

Q_SIGNALS:
    void failed(const QString &message);

private:
    void next()
    {
        if (m_lines.empty()) {
            return;
        }
        const auto [text, volume] = m_lines.front();
        m_lines.pop_front();
        m_speech->setVolume(volume);
        m_speech->say(text);
    }

    QTextToSpeech *m_speech = nullptr;
    std::deque<std::pair<QString, double>> m_lines;
    bool m_failed = false;
};

SoundOutput::SoundOutput(QObject *parent)
    : QObject(parent)
    , m_toneThread(new QThread)
    , m_voiceThread(new QThread)
    , m_tones(new ToneWorker)
    , m_voice(new VoiceWorker)
{
    m_toneThread->setObjectName(QStringLiteral("Tones"));
    m_voiceThread->setObjectName(QStringLiteral("Voice"));
    m_tones->moveToThread(m_toneThread);
    m_voice->moveToThread(m_voiceThread);
    connect(m_toneThread, &QThread::finished, m_tones, &QObject::deleteLater);
    connect(m_voiceThread, &QThread::finished, m_voice, &QObject::deleteLater);
    connect(m_tones, &ToneWorker::heard, this, &SoundOutput::tonesHeard);
    connect(m_tones, &ToneWorker::failed, this, &SoundOutput::tonesFailed);
    connect(m_voice, &VoiceWorker::failed, this, &SoundOutput::voiceFailed);
    m_toneThread->start();
    m_voiceThread->start();
}

SoundOutput::~SoundOutput()
{
    for (QThread *thread : { m_toneThread, m_voiceThread }) {
        thread->quit();
        // A thread stuck in a hung sound server is left to the end of the process rather than
        // holding up the quit.
        if (thread->wait(1000)) {
            delete thread;
        }
    }
}

void SoundOutput::play(const QByteArray &pcm, int token)
{
    QElapsedTimer requested;
    requested.start();
    QMetaObject::invokeMethod(m_tones,
        [worker = m_tones, pcm, token, requested] { worker->play(pcm, token, requested); });
}

void SoundOutput::stopVoice(const QString &message)
{
    QMetaObject::invokeMethod(
        m_voice, [worker = m_voice, message] { worker->stopSpeaking(message); });
}

void SoundOutput::prepare()
{
    QMetaObject::invokeMethod(m_tones, [worker = m_tones] { worker->prepare(); });
}

void SoundOutput::stopTones()
{
    QMetaObject::invokeMethod(m_tones, [worker = m_tones] { worker->stop(); });
}

void SoundOutput::say(const QString &line, double volume)
{
    QMetaObject::invokeMethod(
        m_voice, [worker = m_voice, line, volume] { worker->say(line, volume); });
}

} // namespace announcer

#include "sound_output.moc"
