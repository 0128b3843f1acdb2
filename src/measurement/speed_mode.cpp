// SPDX-License-Identifier: MIT
#include "measurement/speed_mode.h"
