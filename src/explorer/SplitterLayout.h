// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace tavimor {

// The drag rules of the bar between tree and list, in twips. While the button is held only the
// bar moves; the release lays out tree and list for the bar's position.
class SplitterLayout {
public:
    static constexpr int kMinLeft = 1500;
    static constexpr int kMaxLeft = 8000;
    static constexpr int kMinRoom = 360;
    static constexpr int kRightMargin = 180;
    static constexpr int kListMargin = 120;

    struct Geometry {
        int barLeft = 2340;
        int barWidth = 45;
        int treeLeft = 0;
        int treeWidth = 2355;
        int listLeft = 2400;
        int listWidth = 9465;
    };

    enum class MoveResult { Ignored, Moved, Released };

    SplitterLayout() = default;
    explicit SplitterLayout(const Geometry& geometry)
        : m_geometry(geometry) {}

    const Geometry& geometry() const { return m_geometry; }
    bool dragging() const { return m_dragging; }

    // x is the pointer within the bar; windowWidth is the window's outer width.
    void press(double x);
    MoveResult move(double x, int windowWidth);
    // False when the list lies too close to the right edge for the layout to change.
    bool release(int windowWidth);

private:
    Geometry m_geometry;
    bool m_dragging = false;
    float m_pressX = 0;
};

} // namespace tavimor
