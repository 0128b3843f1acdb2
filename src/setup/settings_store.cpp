// SPDX-License-Identifier: MIT
#include "setup/settings_store.h"
