// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

namespace tavimor {

// The windows the start-up sequence opens; tests answer them without a screen.
class StartupWindows {
public:
    virtual ~StartupWindows() = default;

    virtual void showSplash() = 0;
    virtual void closeSplash() = 0;
    // frmLogin.Start: the right-trimmed password, or nullopt when "Cancel" was pressed in login
    // mode (set mode's "Cancel" gives "").
    virtual std::optional<QString> passwordDialog(bool bSet) = 0;
    // frmOSConfirm.ShowConfirmation: 1 continue, 0 stop.
    virtual int osConfirmation() = 0;
    virtual void showMainWindow(int widthTwips, int heightTwips) = 0;
};

} // namespace tavimor
