// SPDX-License-Identifier: GPL-3.0-or-later
#include "PaletteColours.h"

#include <cmath>

namespace tavimor {

namespace {
double linear(double channel) {
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}
} // namespace

double relativeLuminance(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

double contrastRatio(const QColor& a, const QColor& b) {
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableRed(const QColor& background, const QColor& fallback) {
    // Pure red is lightness 50%; walk away from the background's side in steps of 1%.
    const bool lightBackground = contrastRatio(background, Qt::black) >= contrastRatio(background, Qt::white);
    for (int step = 0; step <= 40; ++step) {
        const int lightness = 50 + (lightBackground ? -step : step);
        const QColor red = QColor::fromHslF(0.0F, 1.0F, float(lightness) / 100.0F);
        if (contrastRatio(red, background) >= kReadableContrast)
            return red;
    }
    return fallback;
}

QColor restartColour(const QPalette& palette) {
    return readableRed(palette.color(QPalette::Base), palette.color(QPalette::Text));
}

} // namespace tavimor
