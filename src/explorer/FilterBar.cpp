// SPDX-License-Identifier: GPL-3.0-or-later
#include "FilterBar.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace tavimor {

FilterBar::FilterBar(QWidget* parent)
    : QToolBar(tr("Filter"), parent) {
    setObjectName(QStringLiteral("tlbFilter"));
    setMovable(false);
    setFloatable(false);
    auto* label = new QLabel(tr("Fi&nd:"), this);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("txtFilter"));
    m_edit->setClearButtonEnabled(true);
    m_edit->setPlaceholderText(tr("Entry or registry value name, in every section"));
    m_edit->setAccessibleName(tr("Filter entries"));
    label->setBuddy(m_edit);
    addWidget(label);
    addWidget(m_edit);
    m_edit->installEventFilter(this);
    connect(m_edit, &QLineEdit::textChanged, this, &FilterBar::textChanged);
    hide();
}

QString FilterBar::text() const {
    return m_edit->text();
}

void FilterBar::open() {
    show();
    m_edit->setFocus(Qt::ShortcutFocusReason);
    m_edit->selectAll();
}

void FilterBar::clear() {
    m_edit->clear();
    hide();
}

bool FilterBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_edit && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        clear();
        return true;
    }
    return QToolBar::eventFilter(watched, event);
}

} // namespace tavimor
