// SPDX-License-Identifier: MIT
#include "main_window/font_warm_up.h"

#include <fontconfig/fontconfig.h>

namespace main_window
{

// The toolkit reads the configuration through the same call, which returns at once once it
// has been read; read twice at the same time it would only be read twice.
FontWarmUp::FontWarmUp()
    : m_reader([] { FcInit(); })
{
}

FontWarmUp::~FontWarmUp() { wait(); }

void FontWarmUp::wait()
{
    if (m_reader.joinable()) {
        m_reader.join();
    }
}

} // namespace main_window
