// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class QSocketNotifier;

/// Turns SIGINT, SIGTERM and SIGHUP into a Qt signal on the event loop, through a self-pipe:
/// the handler only writes one byte, everything else runs as ordinary code. Also ignores
/// SIGPIPE. One instance at a time; the default handlers come back when it is destroyed.
class SignalWatcher : public QObject
{
    Q_OBJECT
public:
    explicit SignalWatcher(QObject *parent = nullptr);
    ~SignalWatcher() override;

    /// Whether the pipe and the handlers are in place.
    bool isValid() const { return m_notifier != nullptr; }

Q_SIGNALS:
    /// One of the watched signals arrived; `signalNumber` is the first one.
    void stopRequested(int signalNumber);

private:
    void readPipe();

    QSocketNotifier *m_notifier = nullptr;
};
