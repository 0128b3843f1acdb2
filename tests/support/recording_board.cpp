// SPDX-License-Identifier: MIT
#include "recording_board.h"
