// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QPalette>

namespace tavimor {

// WCAG 2 relative luminance and contrast ratio (1 to 21).
double relativeLuminance(const QColor& colour);
double contrastRatio(const QColor& a, const QColor& b);

inline constexpr double kReadableContrast = 4.5; // WCAG AA for normal text

// The red closest to pure red that reads on background with AA contrast, darker on a light
// background and lighter on a dark one; fallback where no red reaches it (a mid-grey background).
QColor readableRed(const QColor& background, const QColor& fallback);
// The restart rows' colour in a list drawn with palette.
QColor restartColour(const QPalette& palette);

} // namespace tavimor
