// SPDX-License-Identifier: MIT
#include "link/comm.h"
