// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>

/// A PulseAudio daemon of the test's own, in a private runtime folder, with one null sink
/// ("rotavex") as the only output; this process's PULSE_SERVER points at it while the rig lives.
/// Recording the sink's monitor gives what a listener in the room would hear.
class PulseRig
{
public:
    PulseRig();
    ~PulseRig();
    /// The daemon answers; when not, `error` says why.
    bool ready() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    QString server() const { return QStringLiteral("unix:") + m_socket; }

    /// Starts recording the sink's monitor (16-bit mono at `rate`); true once parec runs.
    bool record(int rate);
    /// The recording so far (read every 5 ms while the event loop runs), with the time (on
    /// `clock`) its first sample was played, estimated from when the recording grew: never
    /// earlier than it was played.
    QByteArray recorded() const { return m_recorded; }
    qint64 firstSampleMs() const { return m_originMs; }
    /// Samples recorded so far.
    qint64 samples() const { return m_recorded.size() / 2; }
    /// The test's clock, shared with the times given above.
    const QElapsedTimer &clock() const { return m_clock; }

    /// Stops the daemon at once, as a crash would (SIGKILL).
    void kill();
    /// Freezes (true) or thaws the daemon: a sound server that hangs.
    void freeze(bool frozen);

private:
    QTemporaryDir m_dir;
    QString m_socket;
    QProcess m_daemon;
    QProcess m_parec;
    QFile m_file;
    QTimer m_poll;
    QByteArray m_recorded;
    QElapsedTimer m_clock;
    qint64 m_originMs = -1;
    int m_rate = 48000;
    QString m_error;
    QByteArray m_previousServer;
};

/// One tone found in a recording.
struct HeardTone {
    double onsetMs; ///< from the recording's start
    double lengthMs;
    double hz; ///< estimated from zero crossings
};

/// The tones in 16-bit mono `pcm` at `rate`: stretches louder than `threshold` (of full scale)
/// separated by at least `gapMs` of quiet.
QList<HeardTone> FindTones(
    const QByteArray &pcm, int rate, double threshold = 0.05, int gapMs = 30);
