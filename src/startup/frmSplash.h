// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QTimer;

namespace tavimor {

class StartupSequence;

// The borderless picture shown while the program starts; its timer runs the rest of the start.
class frmSplash : public QWidget {
    Q_OBJECT
public:
    explicit frmSplash(StartupSequence& sequence, QWidget* parent = nullptr);

    // The window's load: shows it, runs Main and starts tmSplash.
    void Form_Load();
    QTimer* timer() const { return m_timer; }
    void centreOnScreen();

private slots:
    void tmSplash_Timer();

private:
    StartupSequence& m_sequence;
    QTimer* m_timer = nullptr;
};

} // namespace tavimor
