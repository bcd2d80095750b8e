// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExplorerStatusBar.h"

#include "base/Clock.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QTimer>

namespace tavimor {

ExplorerStatusBar::ExplorerStatusBar(const Clock& clock, QWidget* parent,
                                     const std::function<std::optional<LockKeys>()>& lockKeys)
    : QStatusBar(parent)
    , m_clock(clock)
    , m_lockKeys(lockKeys)
    , m_timer(new QTimer(this)) {
    setObjectName(QStringLiteral("stbTavimor"));
    setSizeGripEnabled(true);
    addPanel(QString(), false);
    for (const char* name : {QT_TR_NOOP("CAPS"), QT_TR_NOOP("NUM"), QT_TR_NOOP("INS")})
        addPanel(tr(name), true);
    addPanel(QString(), true);
    addPanel(QString(), true);
    readLockKeys();
    updateClock();
    // Lock keys are seen by the whole program, whichever widget has the focus.
    qApp->installEventFilter(this);
    connect(m_timer, &QTimer::timeout, this, &ExplorerStatusBar::updateClock);
    m_timer->start(1000);
}

QLabel* ExplorerStatusBar::addPanel(const QString& text, bool permanent) {
    auto* label = new QLabel(text, this);
    label->setObjectName(QStringLiteral("stbTavimorPanel%1").arg(m_panels.size() + 1));
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setContentsMargins(4, 0, 4, 0);
    if (permanent) {
        label->setAlignment(Qt::AlignCenter);
        addPermanentWidget(label);
    } else {
        // A long hint is cut off rather than widening the window.
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        addWidget(label, 1);
    }
    m_panels.append(label);
    return label;
}

void ExplorerStatusBar::setHint(const QString& text) {
    m_panels[0]->setText(text);
}

QString ExplorerStatusBar::hint() const {
    return m_panels[0]->text();
}

QString ExplorerStatusBar::panelText(int panel) const {
    return m_panels.value(panel - 1) ? m_panels[panel - 1]->text() : QString();
}

void ExplorerStatusBar::setKeyStates(bool capsLock, bool numLock, bool insert) {
    m_capsLock = capsLock;
    m_numLock = numLock;
    m_insert = insert;
    showKeyStates();
}

void ExplorerStatusBar::showKeyStates() {
    // A key that is off keeps its place but is drawn greyed out, as status bars show lock keys.
    m_panels[1]->setEnabled(m_capsLock);
    m_panels[2]->setEnabled(m_numLock);
    m_panels[3]->setEnabled(m_insert);
}

void ExplorerStatusBar::readLockKeys() {
    if (const std::optional<LockKeys> keys = m_lockKeys()) {
        m_capsLock = keys->capsLock;
        m_numLock = keys->numLock;
    }
    showKeyStates();
}

void ExplorerStatusBar::updateClock() {
    const QDateTime now = m_clock.now();
    const QLocale locale;
    m_panels[4]->setText(locale.toString(now.date(), QLocale::ShortFormat));
    m_panels[5]->setText(locale.toString(now.time(), QLocale::ShortFormat));
}

bool ExplorerStatusBar::eventFilter(QObject* watched, QEvent* event) {
    // Lock keys pressed while another program had the focus are read when ours has it again.
    if (event->type() == QEvent::ApplicationStateChange && watched == qApp &&
        static_cast<QApplicationStateChangeEvent*>(event)->applicationState() == Qt::ApplicationActive)
        readLockKeys();
    // Only the first delivery counts: a key event travels through several objects.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        watched == QApplication::focusWidget()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!key->isAutoRepeat()) {
            if (key->key() == Qt::Key_CapsLock)
                setKeyStates(!m_capsLock, m_numLock, m_insert);
            else if (key->key() == Qt::Key_NumLock)
                setKeyStates(m_capsLock, !m_numLock, m_insert);
            else if (key->key() == Qt::Key_Insert)
                setKeyStates(m_capsLock, m_numLock, !m_insert);
        }
    }
    return QStatusBar::eventFilter(watched, event);
}

} // namespace tavimor
