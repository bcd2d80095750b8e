// SPDX-License-Identifier: GPL-3.0-or-later
#include "WidgetStartupWindows.h"

#include "catalogue/ProgramContext.h"
#include "frmLogin.h"
#include "frmOSConfirm.h"
#include "frmSplash.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QWindow>
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
    // Painted before the load goes on; the dialogs after the first tick keep the loop busy.
    QElapsedTimer waited;
    waited.start();
    while (m_splash->windowHandle() && !m_splash->windowHandle()->isExposed() && waited.elapsed() < 400)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    m_splash->repaint();
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
    frmOSConfirm dialog(m_context.settings, m_context.errors);
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
