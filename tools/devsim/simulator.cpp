// SPDX-License-Identifier: MIT
#include "simulator.h"

#include <QSocketNotifier>
#include <QTimer>

Simulator::Simulator(
    devsim::Profile profile, std::vector<std::unique_ptr<VirtualPort>> ports, QObject *parent)
    : QObject(parent)
    , m_profile(std::move(profile))
    , m_timer(new QTimer(this))
{
    for (auto &port : ports) {
        Link link;
        // The program may write to a device (it does not mean to); reading it keeps the link's
        // return buffer from filling up.
        link.input = new QSocketNotifier(port->masterFd(), QSocketNotifier::Read, this);
        VirtualPort *raw = port.get();
        connect(link.input, &QSocketNotifier::activated, this, [raw] { raw->drainInput(); });
        link.port = std::move(port);
        m_links.push_back(std::move(link));
    }
    m_timer->setTimerType(Qt::PreciseTimer);
    m_timer->setInterval(kTick);
    connect(m_timer, &QTimer::timeout, this, &Simulator::tick);
}

Simulator::~Simulator()
{
    // The ports close their descriptors before Qt deletes the notifiers, so the notifiers
    // must stop watching them first.
    for (auto &link : m_links) {
        link.input->setEnabled(false);
    }
}

void Simulator::start()
{
    m_started = std::chrono::steady_clock::now();
    m_lastTick = m_started;
    m_timer->start();
}

void Simulator::tick()
{
    const auto now = std::chrono::steady_clock::now();
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_started);
    const auto step = now - m_lastTick;
    m_lastTick = now;

    int player = 1;
    for (auto &link : m_links) {
        const double rpm = devsim::rpmAt(m_profile, player, elapsed);
        const double rate = devsim::framesPerSecond(rpm);
        const int due = link.pacer.advance(step, rate);
        if (due > 0) {
            link.port->dropStale(devsim::staleInputLimitBytes(rate));
        }
        for (int i = 0; i < due; ++i) {
            link.port->send(devsim::frameBytes(m_profile, player, link.framesSent++, rpm));
        }
        ++player;
    }
}
