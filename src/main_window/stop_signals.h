// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class QSocketNotifier;

namespace main_window
{

/// Turns SIGTERM, SIGHUP and SIGINT into received() on the event loop, so the program ends a
/// running game the way Quit does instead of dying in the middle of it. One object per process;
/// its destruction restores the default handlers.
class StopSignals : public QObject
{
    Q_OBJECT
public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

Q_SIGNALS:
    /// One of the signals arrived (its number).
    void received(int signal);

private:
    void readPipe();

    int m_pipe[2] = { -1, -1 };
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace main_window
