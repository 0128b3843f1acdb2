// SPDX-License-Identifier: MIT
#include "main_window/game_control.h"
