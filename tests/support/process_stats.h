// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

namespace process_stats
{

/// CPU seconds (user + system) the process has used so far.
double cpuSeconds();
/// Voluntary context switches of the process so far, all threads: how often it went to sleep
/// waiting for something, i.e. how often something had to wake it.
qint64 voluntarySwitches();
/// A field of /proc/self/status in KiB: "VmRSS" now, "VmHWM" the peak; -1 if unreadable.
qint64 statusKib(const char *field);

} // namespace process_stats
