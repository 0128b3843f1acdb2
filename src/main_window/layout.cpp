// SPDX-License-Identifier: MIT
#include "main_window/layout.h"
