// SPDX-License-Identifier: GPL-3.0-or-later
#include "FontWarmUp.h"

#ifdef TAVIMOR_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

namespace tavimor {

FontWarmUp::FontWarmUp() {
#ifdef TAVIMOR_HAVE_FONTCONFIG
    // Fontconfig keeps one configuration per process and hands it to every later caller.
    m_thread = std::thread([] { FcInit(); });
#endif
}

FontWarmUp::~FontWarmUp() {
    finish();
}

void FontWarmUp::finish() {
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace tavimor
