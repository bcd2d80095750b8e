// SPDX-License-Identifier: GPL-3.0-or-later
#include "LinkLabel.h"

#include "gui/Shell.h"

#include <QMouseEvent>

namespace tavimor {

LinkLabel::LinkLabel(const QString& text, const QString& link, Shell& shell, QWidget* parent)
    : QLabel(text, parent)
    , m_link(link)
    , m_shell(shell) {
    setCursor(Qt::PointingHandCursor);
    QPalette blue = palette();
    blue.setColor(QPalette::WindowText, blue.color(QPalette::Link));
    setPalette(blue);
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    setToolTip(link);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        m_shell.open(m_link);
    QLabel::mouseReleaseEvent(event);
}

} // namespace tavimor
