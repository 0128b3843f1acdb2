// SPDX-License-Identifier: MIT
#include "link/port_events.h"
