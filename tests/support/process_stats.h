// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

namespace process_stats
{

/// CPU seconds (user + system) the process has used so far.
double cpuSeconds();
/// A field of /proc/self/status in KiB: "VmRSS" now, "VmHWM" the peak; -1 if unreadable.
qint64 statusKib(const char *field);

} // namespace process_stats
