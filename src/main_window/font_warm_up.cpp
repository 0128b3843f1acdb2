// SPDX-License-Identifier: MIT
#include "main_window/font_warm_up.h"

#include <fontconfig/fontconfig.h>

#include <system_error>

namespace main_window
{

FontWarmUp::FontWarmUp()
{
    try {
        m_reader = std::thread([] { FcInit(); });
    } catch (const std::system_error &) {
        // No thread to spare: read it here, as the first text would.
        FcInit();
    }
}

FontWarmUp::~FontWarmUp() { wait(); }

void FontWarmUp::wait()
{
    if (m_reader.joinable()) {
        m_reader.join();
    }
}

} // namespace main_window
