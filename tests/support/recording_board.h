// SPDX-License-Identifier: MIT
#pragma once

#include "measurement/board.h"
