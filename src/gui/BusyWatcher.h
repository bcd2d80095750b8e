// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Waiting.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QProgressDialog;

namespace tavimor {

// The windows' side of a long wait: a busy cursor at once, and after half a second a progress
// dialog whose Cancel stops the wait, with the event loop kept alive so the windows repaint. An
// operation is over when no wait has been reported for a moment.
class BusyWatcher : public QObject, public WaitWatcher {
    Q_OBJECT
public:
    explicit BusyWatcher(QObject* parent = nullptr);
    ~BusyWatcher() override;

    bool stillWaiting(const QString& what) override;

    bool busy() const { return m_busy; }
    QProgressDialog* dialog() const;

    static constexpr int kDialogDelayMs = 500;
    static constexpr int kIdleMs = 300;

private:
    void finish();

    QElapsedTimer m_since;
    QTimer m_idle;
    QPointer<QProgressDialog> m_dialog;
    bool m_busy = false;
    bool m_cancelled = false;
};

} // namespace tavimor
