// SPDX-License-Identifier: MIT
#pragma once

#include <thread>

namespace main_window
{

/// Reads the system's font configuration (several milliseconds of parsing its files) on a
/// thread of its own, beside the application's set-up, instead of when the first widget
/// measures a text. wait() before anything may ask for a font.
class FontWarmUp
{
public:
    FontWarmUp();
    ~FontWarmUp();
    FontWarmUp(const FontWarmUp &) = delete;
    FontWarmUp &operator=(const FontWarmUp &) = delete;

    /// Returns once the configuration is read.
    void wait();

private:
    std::thread m_reader;
};

} // namespace main_window
