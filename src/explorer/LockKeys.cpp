// SPDX-License-Identifier: GPL-3.0-or-later
#include "LockKeys.h"

#include <QGuiApplication>

#ifdef TAVIMOR_HAVE_X11
// Last: Xlib's macros (Bool, None, Status) would clash with Qt's names.
#include <X11/XKBlib.h>
#endif

namespace tavimor {

std::optional<LockKeys> platformLockKeys() {
#ifdef TAVIMOR_HAVE_X11
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display)
        return std::nullopt;
    auto isOn = [display](const char* indicator, bool* on) {
        Bool state = False;
        const bool known = XkbGetNamedIndicator(display, XInternAtom(display, indicator, False), nullptr,
                                                &state, nullptr, nullptr) == True;
        *on = state == True;
        return known;
    };
    LockKeys keys;
    if (!isOn("Caps Lock", &keys.capsLock) || !isOn("Num Lock", &keys.numLock))
        return std::nullopt;
    return keys;
#else
    return std::nullopt;
#endif
}

} // namespace tavimor
