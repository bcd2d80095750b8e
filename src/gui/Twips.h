// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

namespace tavimor {

// Positions and sizes given in twips: 15 twips are one pixel at 96 dots per inch, scaled by
// the screen's logical dots per inch (the widget's screen, or the primary one).
int twipsToPixels(int twips, const QWidget* widget = nullptr);
int pixelsToTwips(int pixels, const QWidget* widget = nullptr);

// Shows a top-level window whose outer size, frame included, is given in twips. The frame is
// known only once the window is framed on screen, so the size is set again then.
void showWithOuterSize(QWidget* window, int widthTwips, int heightTwips);

} // namespace tavimor
