// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmSplash.h"

#include "StartupPictures.h"
#include "StartupSequence.h"
#include "gui/Twips.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>

namespace tavimor {

frmSplash::frmSplash(StartupSequence& sequence, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
    , m_sequence(sequence) {
    setObjectName(QStringLiteral("frmSplash"));
    setFixedSize(twipsToPixels(7500, this), twipsToPixels(5640, this));
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Picture1"));
    picture->setGeometry(0, 0, twipsToPixels(7500, this), twipsToPixels(5625, this));
    picture->setPixmap(startupPicture(QStringLiteral("splash.png")));
    picture->setAccessibleName(tr("Tavimor is starting"));
    picture->setScaledContents(true);

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("tmSplash"));
    m_timer->setInterval(500);
    connect(m_timer, &QTimer::timeout, this, &frmSplash::tmSplash_Timer);
}

void frmSplash::centreOnScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = rect();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void frmSplash::Form_Load() {
    m_timer->start();
    m_sequence.load();
}

void frmSplash::tmSplash_Timer() {
    if (!m_sequence.ready())
        return;
    // Stopped before the dialogs open, so no second tick runs the road again.
    m_timer->stop();
    m_sequence.tick();
}

} // namespace tavimor
