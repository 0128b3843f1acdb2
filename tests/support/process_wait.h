// SPDX-License-Identifier: MIT
#pragma once

/// How long a test waits for a helper process to start, answer or end: far above any real run,
/// so a loaded machine only makes a test slower, never failing. A process that really hangs is
/// still ended by this cap (and by CTest's own limit above it).
constexpr int kProcessCapMs = 15 * 60 * 1000;
