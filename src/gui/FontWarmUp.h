// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <thread>

namespace tavimor {

// Prepares the fonts on other threads while the program starts. Fontconfig parses its
// configuration files once per process before the first text can be measured, the largest single
// share of the main window's start, which a bare window never pays; it needs nothing of Qt, so it
// is read while the application object is made. Qt's font list and the fallback fonts of the
// application's font follow while the program opens the registry and makes its window: Qt's font
// database is shared by all threads, and a text that needs it meanwhile waits for it rather than
// building it again.
class FontWarmUp {
public:
    // Starts reading the configuration: made before the application object.
    FontWarmUp();
    ~FontWarmUp();
    FontWarmUp(const FontWarmUp&) = delete;
    FontWarmUp& operator=(const FontWarmUp&) = delete;

    // Once the application object exists: waits for the configuration, so that no text reads it a
    // second time, then builds Qt's font list on a thread that the returned object joins, which
    // must end before the application object does.
    [[nodiscard]] std::jthread buildFontList();

private:
    std::thread m_configuration;
};

} // namespace tavimor
