// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QPainter>
#include <QRect>
#include <QString>

// The parts of a Windows 98 dialog, drawn at their usual pixel sizes.
class Win98Painter {
public:
    explicit Win98Painter(QPainter& painter);

    static const QColor kFace;
    static const QColor kDesktop;

    QPainter& painter() { return m_p; }
    const QFont& font() const { return m_font; }
    int lineHeight() const;
    // Height of text wrapped into width.
    int textHeight(const QString& text, int width) const;

    void raised(const QRect& r); // outer bevel of windows and buttons
    void sunken(const QRect& r); // text boxes and list boxes
    void etched(const QRect& r); // group frames
    void window(const QRect& r, const QString& title);
    // The title bar's navy to blue.
    void captionGradient(const QRect& r, Qt::Orientation direction);
    void button(const QRect& r, const QString& caption);
    void textBox(const QRect& r, const QString& text);
    void checkBox(const QPoint& at, bool on, bool round);
    void text(const QRect& r, const QString& text, int flags = Qt::AlignLeft | Qt::AlignVCenter,
              const QColor& colour = Qt::black);
    void icon(const QRect& r, const QString& name);
    void taskbar(const QRect& r);
    // What the restriction takes away: faded and crossed in red.
    void gone(const QRect& r);
    // A no-entry sign over a whole feature.
    void banned(const QRect& r);

    // Texts that did not fit their control, the picture, or the room a red frame leaves them.
    const QStringList& clippedTexts() const { return m_clipped; }

private:
    // Texts under an opaque control are no longer seen.
    void covered(const QRect& r);

    QPainter& m_p;
    QFont m_font;
    QList<QPair<QRect, QString>> m_drawnTexts;
    QStringList m_clipped;
};
