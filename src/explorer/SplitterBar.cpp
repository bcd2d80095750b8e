// SPDX-License-Identifier: GPL-3.0-or-later
#include "SplitterBar.h"

#include "gui/Twips.h"

#include <QMouseEvent>

namespace tavimor {

namespace {
double xInTwips(const QMouseEvent* event, const QWidget* widget) {
    // Twips are finer than pixels; keep the fraction the position carries.
    return event->position().x() * pixelsToTwips(1500, widget) / 1500.0;
}
} // namespace

SplitterBar::SplitterBar(QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("pctSeperator"));
    setCursor(Qt::SplitHCursor);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Mid);
}

void SplitterBar::mousePressEvent(QMouseEvent* event) {
    raise();
    emit pressed(xInTwips(event, this));
    event->accept();
}

void SplitterBar::mouseMoveEvent(QMouseEvent* event) {
    emit moved(xInTwips(event, this));
    event->accept();
}

void SplitterBar::mouseReleaseEvent(QMouseEvent* event) {
    emit released();
    event->accept();
}

} // namespace tavimor
