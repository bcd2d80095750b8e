#include "WidgetStartupWindows.h"

#include "catalogue/ProgramContext.h"
#include "frmLogin.h"
#include "frmOSConfirm.h"
#include "frmSplash.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>

namespace tavimor {

WidgetStartupWindows::WidgetStartupWindows(ProgramContext& context, ShowMainWindow showMainWindow)
    : m_context(context)
    , m_showMainWindow(std::move(showMainWindow)) {
}

void WidgetStartupWindows::showSplash() {
    if (!m_splash)
        return;
    m_splash->centreOnScreen();
    m_splash->show();
    // The splash is painted before Main and the first tick keep the event loop busy.
    QCoreApplication::processEvents();
}

void WidgetStartupWindows::closeSplash() {
    if (m_splash)
        m_splash->close();
}

std::optional<QString> WidgetStartupWindows::passwordDialog(bool bSet) {
    frmLogin dialog(m_context.prompter);
    const QString password = dialog.Start(bSet);
    if (dialog.cancelledLogin())
        return std::nullopt;
    return password;
}

int WidgetStartupWindows::osConfirmation() {
    frmOSConfirm dialog(m_context.settings);
    return dialog.ShowConfirmation();
}

void WidgetStartupWindows::showMainWindow(int widthTwips, int heightTwips) {
    m_showMainWindow(widthTwips, heightTwips);
}

void endProgramNow(int code) {
    std::fflush(nullptr);
    std::_Exit(code);
}

} // namespace tavimor
