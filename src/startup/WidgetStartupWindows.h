// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "StartupWindows.h"

#include <functional>

namespace tavimor {

class ProgramContext;
class frmSplash;

// The start-up windows on the screen.
class WidgetStartupWindows : public StartupWindows {
public:
    using ShowMainWindow = std::function<void(int widthTwips, int heightTwips)>;
    WidgetStartupWindows(ProgramContext& context, ShowMainWindow showMainWindow);
    void setSplash(frmSplash* splash) { m_splash = splash; }

    void showSplash() override;
    void closeSplash() override;
    std::optional<QString> passwordDialog(bool bSet) override;
    int osConfirmation() override;
    void showMainWindow(int widthTwips, int heightTwips) override;

private:
    ProgramContext& m_context;
    ShowMainWindow m_showMainWindow;
    frmSplash* m_splash = nullptr;
};

// Ends the program at once: no window's close handling runs and nothing more is saved.
[[noreturn]] void endProgramNow(int code);

} // namespace tavimor
