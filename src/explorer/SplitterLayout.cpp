// SPDX-License-Identifier: GPL-3.0-or-later
#include "SplitterLayout.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace tavimor {

namespace {
// Halves go to the even neighbour, then the value is held in 16 bits.
int toInt16(double value) {
    const double rounded = std::nearbyint(value);
    return int(std::int16_t(std::clamp(rounded, -32768.0, 32767.0)));
}
} // namespace

void SplitterLayout::press(double x) {
    m_dragging = true;
    m_pressX = float(x);
}

SplitterLayout::MoveResult SplitterLayout::move(double x, int windowWidth) {
    if (!m_dragging)
        return MoveResult::Ignored;
    const int pos = toInt16(x - (double(m_pressX) - m_geometry.barLeft));
    if (windowWidth - pos <= kMinLeft) {
        release(windowWidth);
        return MoveResult::Released;
    }
    m_geometry.barLeft = std::clamp(pos, kMinLeft, kMaxLeft);
    return MoveResult::Moved;
}

bool SplitterLayout::release(int windowWidth) {
    m_dragging = false;
    if (windowWidth - m_geometry.listLeft < kMinRoom)
        return false;
    m_geometry.listLeft = m_geometry.barWidth + m_geometry.barLeft;
    m_geometry.listWidth = windowWidth - m_geometry.listLeft - kRightMargin;
    m_geometry.treeWidth = m_geometry.barLeft - m_geometry.treeLeft;
    m_geometry.listWidth -= kListMargin;
    return true;
}

} // namespace tavimor
