#include "Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace tavimor {

namespace {
double logicalDpi(const QWidget* widget) {
    const QScreen* screen = widget && widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchX() : 96.0;
    return dpi > 0 ? dpi : 96.0;
}
} // namespace

int twipsToPixels(int twips, const QWidget* widget) {
    return int(std::lround(double(twips) * logicalDpi(widget) / 1440.0));
}

int pixelsToTwips(int pixels, const QWidget* widget) {
    return int(std::lround(double(pixels) * 1440.0 / logicalDpi(widget)));
}

} // namespace tavimor
