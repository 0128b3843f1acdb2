// SPDX-License-Identifier: MIT
#pragma once

#include "profile.h"
#include "virtual_port.h"

#include <QObject>

#include <chrono>
#include <memory>
#include <vector>

class QSocketNotifier;
class QTimer;

/// Streams a profile's frames to its virtual ports at each link's real pace; port i of the
/// list (0-based) serves player i + 1.
class Simulator : public QObject
{
    Q_OBJECT
public:
    /// How often the links are served; frames due in between go out together.
    static constexpr std::chrono::milliseconds kTick { 4 };

    Simulator(devsim::Profile profile, std::vector<std::unique_ptr<VirtualPort>> ports,
        QObject *parent = nullptr);
    ~Simulator() override;

    /// Starts the clock of the profile and the streaming.
    void start();

private:
    struct Link {
        std::unique_ptr<VirtualPort> port;
        devsim::FramePacer pacer;
        quint64 framesSent = 0;
        QSocketNotifier *input = nullptr; // owned by the simulator
    };

    void tick();

    devsim::Profile m_profile;
    std::vector<Link> m_links;
    QTimer *m_timer;
    std::chrono::steady_clock::time_point m_started;
    std::chrono::steady_clock::time_point m_lastTick;
};
