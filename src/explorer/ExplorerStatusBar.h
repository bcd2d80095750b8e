// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "explorer/LockKeys.h"

#include <QStatusBar>
#include <functional>

class QLabel;
class QTimer;

namespace tavimor {

class Clock;

// stbTavimor: the hint panel, then Caps Lock, Num Lock and Insert state, the date and the time.
class ExplorerStatusBar : public QStatusBar {
    Q_OBJECT
public:
    // lockKeys tells the lock keys' state at start and whenever the program is made active again, so
    // that keys pressed in another program are seen; where it cannot tell, they start off.
    ExplorerStatusBar(const Clock& clock, QWidget* parent = nullptr,
                      const std::function<std::optional<LockKeys>()>& lockKeys = platformLockKeys);

    void setHint(const QString& text);
    QString hint() const;
    // The text of panel 1 to 6.
    QString panelText(int panel) const;

    void setKeyStates(bool capsLock, bool numLock, bool insert);
    void updateClock();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* addPanel(const QString& text, bool permanent);
    void showKeyStates();

    void readLockKeys();

    const Clock& m_clock;
    std::function<std::optional<LockKeys>()> m_lockKeys;
    QList<QLabel*> m_panels;
    QTimer* m_timer;
    bool m_capsLock = false;
    bool m_numLock = false;
    bool m_insert = false;
};

} // namespace tavimor
