// SPDX-License-Identifier: GPL-3.0-or-later
#include "BusyWatcher.h"

#include <QApplication>
#include <QProgressDialog>

namespace tavimor {

BusyWatcher::BusyWatcher(QObject* parent)
    : QObject(parent) {
    m_idle.setSingleShot(true);
    m_idle.setInterval(kIdleMs);
    connect(&m_idle, &QTimer::timeout, this, &BusyWatcher::finish);
}

BusyWatcher::~BusyWatcher() {
    finish();
}

QProgressDialog* BusyWatcher::dialog() const {
    return m_dialog.data();
}

bool BusyWatcher::stillWaiting(const QString& what) {
    if (!m_busy) {
        m_busy = true;
        m_cancelled = false;
        m_since.start();
        QApplication::setOverrideCursor(Qt::BusyCursor);
    }
    m_idle.start();
    if (m_cancelled)
        return false;
    if (!m_dialog && m_since.elapsed() >= kDialogDelayMs) {
        m_dialog = new QProgressDialog(QApplication::activeWindow());
        m_dialog->setObjectName(QStringLiteral("dlgBusy"));
        m_dialog->setWindowTitle(tr("Please wait"));
        m_dialog->setCancelButtonText(tr("Cancel"));
        m_dialog->setRange(0, 0);
        m_dialog->setMinimumDuration(0);
        m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        connect(m_dialog, &QProgressDialog::canceled, this, [this] { m_cancelled = true; });
        m_dialog->show();
    }
    if (m_dialog) {
        m_dialog->setLabelText(tr("Waiting for another program:") + QLatin1Char('\n') + what);
        // The dialog is modal, so only its Cancel button takes input meanwhile.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        m_cancelled = m_cancelled || m_dialog->wasCanceled();
    } else {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    }
    return !m_cancelled;
}

void BusyWatcher::finish() {
    m_idle.stop();
    if (!m_busy)
        return;
    m_busy = false;
    delete m_dialog;
    QApplication::restoreOverrideCursor();
}

} // namespace tavimor
