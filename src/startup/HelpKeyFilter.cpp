// SPDX-License-Identifier: GPL-3.0-or-later
#include "HelpKeyFilter.h"

#include "HelpBook.h"

#include <QKeyEvent>
#include <QWidget>

namespace tavimor {

HelpKeyFilter::HelpKeyFilter(OpenHelp openHelp, QObject* parent)
    : QObject(parent)
    , m_openHelp(std::move(openHelp)) {
}

bool HelpKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier)
        return false;
    QWidget* window = static_cast<QWidget*>(watched)->window();
    m_openHelp(window, HelpBook::topicOf(window));
    return true;
}

} // namespace tavimor
