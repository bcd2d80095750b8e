// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <thread>

namespace tavimor {

// Reads the system's font configuration on a second thread while the application object is made.
// Fontconfig parses its files once per process before the first text can be measured, the largest
// single share of the main window's start; it needs nothing of Qt, and Qt's font list later takes
// the configuration already read.
class FontWarmUp {
public:
    FontWarmUp();
    ~FontWarmUp();
    FontWarmUp(const FontWarmUp&) = delete;
    FontWarmUp& operator=(const FontWarmUp&) = delete;

    // Waits for the configuration, so that the first text does not read it a second time.
    void finish();

private:
    std::thread m_thread;
};

} // namespace tavimor
