// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QJsonObject>

class Win98Painter;

// One picture of pictures.json: a scene (a dialog on the desktop, the desktop itself, or the
// Start menu) and the items it shows, top to bottom, with what the restriction takes away.
class PictureScene {
public:
    explicit PictureScene(const QJsonObject& description)
        : m_d(description) {}

    QImage render(const QSize& size) const;
    // True after render when the items did not fit into the window.
    bool overflowed() const { return m_overflow; }
    // After render: the texts drawn cut off.
    const QStringList& clippedTexts() const { return m_clipped; }

private:
    void drawWindow(Win98Painter& w, const QRect& area) const;
    void drawDesktop(Win98Painter& w, const QRect& area) const;
    void drawStartMenu(Win98Painter& w, const QRect& area) const;
    // Lays out one item at y inside the given width; returns the height used.
    int drawItem(Win98Painter& w, const QJsonObject& item, int x, int y, int width) const;
    int drawMenu(Win98Painter& w, const QJsonObject& item, QPoint at, int width, bool band) const;

    QJsonObject m_d;
    mutable bool m_overflow = false;
    mutable QStringList m_clipped;
};
