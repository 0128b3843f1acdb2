// SPDX-License-Identifier: MIT
#include "main_window/font_warm_up.h"

#include <fontconfig/fontconfig.h>
#include <sched.h>

namespace main_window
{

namespace
{
    void *readConfiguration(void *)
    {
        FcInit();
        return nullptr;
    }
} // namespace

FontWarmUp::FontWarmUp()
{
    // Started on any processor but this one: placed beside the starting thread, the reader
    // either waits for it or takes turns with it, and reads nothing in parallel.
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    cpu_set_t others;
    const int mine = sched_getcpu();
    if (sched_getaffinity(0, sizeof others, &others) == 0 && mine >= 0 && CPU_COUNT(&others) > 1) {
        CPU_CLR(mine, &others);
        pthread_attr_setaffinity_np(&attributes, sizeof others, &others);
    }
    m_running = pthread_create(&m_reader, &attributes, readConfiguration, nullptr) == 0;
    pthread_attr_destroy(&attributes);
    if (!m_running) {
        readConfiguration(nullptr);
    }
}

FontWarmUp::~FontWarmUp() { wait(); }

void FontWarmUp::wait()
{
    if (m_running) {
        pthread_join(m_reader, nullptr);
        m_running = false;
    }
}

} // namespace main_window
