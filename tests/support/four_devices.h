// SPDX-License-Identifier: MIT
#pragma once

#include "link/comm.h"
#include "link/player_links.h"
#include "virtual_port.h"

#include <QObject>
#include <QTest>
#include <QTimer>

#include <array>
#include <chrono>
#include <memory>

namespace test_support
{

/// Four simulated devices (COM1..COM4 in `portDir`) spinning at steady speeds of their own,
/// 6000, 7500, 9000 and 12000 rpm, for tests that play whole games on real pseudo-terminals.
/// Header-only: the tests that use it link the simulator's profile library.
class FourDevices
{
public:
    explicit FourDevices(const QString &portDir)
    {
        for (int n = 1; n <= 4; ++n) {
            QString error;
            m_devices[std::size_t(n - 1)] = VirtualPort::create(n, portDir, &error);
            if (!m_devices[std::size_t(n - 1)]) {
                qFatal("no virtual port: %s", qPrintable(error));
            }
        }
    }

    /// Slows the game's and the watchdog's timers (found under `timersOwner`) to an hour: the
    /// test's own ticks are the game's seconds, and the real ones would race them on a loaded
    /// machine. So would the watchdog: between a frame's arrival and the next look at it, its
    /// tick marks the link unseen again and the frame seems lost. Then opens every link.
    static void takeOver(QObject &timersOwner, PlayerLinks &links)
    {
        for (const char *name : { "tmrRefresh", "tmrStrenght", "tmrTimeout" }) {
            timersOwner.findChild<QTimer *>(QLatin1String(name))
                ->setInterval(std::chrono::hours(1));
        }
        for (rotavex::PlayerSlot p = 1; p <= 4; ++p) {
            if (links.open(p, p)) {
                qFatal("link %d did not open", p);
            }
        }
    }

    /// A fresh frame from every open link's device, each seen by its link.
    void sendFrames(PlayerLinks &links)
    {
        static constexpr quint16 kCounts[] = { 1250, 1000, 833, 625 };
        for (rotavex::PlayerSlot p = 1; p <= 4; ++p) {
            if (!links.isOpen(p)) {
                continue;
            }
            links.linkSeen()[p] = -1;
            // On a loaded machine the watchdog may take a quiet link for lost and reopen it,
            // dropping a frame: the device sends again until one gets through.
            const auto seen = [this, &links, p] {
                m_devices[std::size_t(p - 1)]->send(comm::encodeFrame(kCounts[p - 1]));
                return links.linkSeen()[p] == 0;
            };
            QTRY_VERIFY_WITH_TIMEOUT(seen(), 60000);
        }
    }

private:
    std::array<std::unique_ptr<VirtualPort>, 4> m_devices;
};

} // namespace test_support
