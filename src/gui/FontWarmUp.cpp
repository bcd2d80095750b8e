// SPDX-License-Identifier: GPL-3.0-or-later
#include "FontWarmUp.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>

#ifdef TAVIMOR_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

namespace tavimor {

FontWarmUp::FontWarmUp() {
#ifdef TAVIMOR_HAVE_FONTCONFIG
    // Fontconfig keeps one configuration per process and hands it to every later caller.
    m_configuration = std::thread([] { FcInit(); });
#endif
}

FontWarmUp::~FontWarmUp() {
    if (m_configuration.joinable())
        m_configuration.join();
}

std::jthread FontWarmUp::buildFontList() {
    if (!m_configuration.joinable())
        return {};
    m_configuration.join();
    return std::jthread([] {
        QFontDatabase::families();
        // Measuring a text finds the application font's fallbacks, which Qt keeps for every thread;
        // the font engine made here serves this thread only.
        QFontMetrics(QGuiApplication::font()).height();
    });
}

} // namespace tavimor
