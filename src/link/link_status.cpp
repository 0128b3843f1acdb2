// SPDX-License-Identifier: MIT
#include "link/link_status.h"

#include "link/port_names.h"
namespace link_status
{

namespace
{

    QString timeText(const QTime &time) { return time.toString(QStringLiteral("HH:mm:ss")); }

    // The reason ends a sentence of its own; one that already ends with a stop keeps it.
    QString sentence(const QString &reason)
    {
        return reason.endsWith(QLatin1Char('.')) ? reason : reason + QLatin1Char('.');
    }

} // namespace

bool IsWaiting(LinkState state)
{
    return state == LinkState::Lost || state == LinkState::StartFailed;
}

QString LinkName(const LinkStatus &status)
{
    if (status.device.isEmpty()) {
        return port_names::PortCaption(status.port);
    }
    return status.deviceName.isEmpty() ? status.device : status.deviceName;
}

QString RecordedName(const LinkStatus &status)
{
    return status.port > 0 || !status.device.isEmpty() ? LinkName(status) : QString();
}

QString Describe(const LinkStatus &status)
{
    const QString port = LinkName(status);
    const bool bluetooth = !status.device.isEmpty();
    switch (status.state) {
    case LinkState::Open:
        return port
            + (bluetooth ? QStringLiteral(" connected since ") : QStringLiteral(" open since "))
            + timeText(status.at);
    case LinkState::Lost:
        // A Bluetooth device is tried on a clock, not only when it shows up again.
        return port + QStringLiteral(" lost at ") + timeText(status.at) + QStringLiteral(": ")
            + sentence(status.reason)
            + (bluetooth ? QStringLiteral(" Reconnecting.")
                         : QStringLiteral(" Reconnecting when it returns."));
    case LinkState::StartFailed:
        return port + QStringLiteral(" could not be opened at start-up: ") + sentence(status.reason)
            + QStringLiteral(" Retrying.");
    case LinkState::Closed:
        break;
    }
    return status.port > 0 || bluetooth ? port + QStringLiteral(" closed")
                                        : QStringLiteral("No port");
}

} // namespace link_status
