// SPDX-License-Identifier: MIT
#pragma once

#include <QLatin1String>
#include <QString>
#include <QWidget>

#include <cstdlib>

namespace test_support
{

/// The window's child control of type T named `name`; a missing control ends the test run,
/// since every later step of the test would only fail for that reason.
template <typename T> T *control(const QWidget &window, const QString &name)
{
    T *found = window.findChild<T *>(name);
    if (!found) {
        qFatal("no control %s", qPrintable(name));
    }
    return found;
}

/// An array control's objectName: the array's name followed by the index ("lblRPM2").
inline QString named(const char *name, int index)
{
    return QLatin1String(name) + QString::number(index);
}

} // namespace test_support
