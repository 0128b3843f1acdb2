// SPDX-License-Identifier: MIT
#include "link/port_names.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace port_names
{

namespace
{

    constexpr int kFirstPort = 1;
    constexpr int kLastPort = kPortCount;

} // namespace

QString VirtualPortDir()
{
#ifndef Q_OS_WIN
    // Looked up once a second for every waiting link and every port Setup marks: read the
    // variable itself, since without it Qt would warn on every lookup. Its own fallback (with
    // its one warning) is taken once.
    if (const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR"); !runtime.isEmpty()) {
        return QFile::decodeName(runtime) + QStringLiteral("/rotavex");
    }
    static const QString fallback =
        QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return fallback + QStringLiteral("/rotavex");
#else
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)
        + QStringLiteral("/rotavex");
#endif
}

QStringList Candidates(int port)
{
    if (port < kFirstPort || port > kLastPort) {
        return {};
    }
#ifdef Q_OS_WIN
    return { PortCaption(port) };
#else
    return { VirtualPortDir() + QStringLiteral("/COM%1").arg(port),
        QStringLiteral("/dev/rfcomm%1").arg(port - 1) };
#endif
}

Resolution Resolve(int port)
{
    if (port == 0) {
        return { {}, QStringLiteral("No port is selected") };
    }
    if (port < kFirstPort || port > kLastPort) {
        return { {},
            QStringLiteral("Port number %1 is out of range (%2 to %3)")
                .arg(port)
                .arg(kFirstPort)
                .arg(kLastPort) };
    }
    const QStringList candidates = Candidates(port);
#ifdef Q_OS_WIN
    // The Windows serial layer names ports directly; whether one exists shows when it opens.
    return { candidates.first(), {} };
#else
    for (const QString &candidate : candidates) {
        // exists() follows links, so a virtual port whose device is gone does not count.
        if (QFileInfo::exists(candidate)) {
            return { candidate, {} };
        }
    }
    return { {},
        QStringLiteral("No device for COM%1: looked for %2")
            .arg(port)
            .arg(candidates.join(QStringLiteral(" and "))) };
#endif
}

} // namespace port_names
