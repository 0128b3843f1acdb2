// SPDX-License-Identifier: MIT
#include "link/port_names.h"
