// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmRestart.h"

#include "base/ErrorHandler.h"
#include "base/Prompter.h"
#include "catalogue/ProgramContext.h"
#include "gui/Twips.h"
#include "registry/RegistryBackend.h"
#include "settings/SettingsStore.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tavimor {

frmRestart::frmRestart(ProgramContext& context, QWidget* parent)
    : QDialog(parent)
    , m_context(context) {
    setObjectName(QStringLiteral("frmRestart"));
    setWindowTitle(tr("Tavimor - Restart Confirmation Dialog"));

    auto* fraRestart = new QFrame;
    fraRestart->setObjectName(QStringLiteral("fraRestart"));
    auto* question = new QLabel(tr("Few of the settings that you have made require a restart. Do you "
                                   "want to restart your system now?"));
    question->setObjectName(QStringLiteral("lblTitle"));
    question->setWordWrap(true);
    question->setMinimumSize(twipsToPixels(5115, this), twipsToPixels(615, this));
    question->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_chkHide = new QCheckBox(tr("Don't display this dialog again."));
    m_chkHide->setObjectName(QStringLiteral("chkHide"));
    auto* frameLayout = new QVBoxLayout(fraRestart);
    frameLayout->setContentsMargins(0, 0, 0, 0);
    frameLayout->addWidget(question);
    frameLayout->addWidget(m_chkHide);

    m_okButton = new QPushButton(tr("Restart &Now"));
    m_okButton->setObjectName(QStringLiteral("OKButton"));
    m_cancelButton = new QPushButton(tr("Restart &Later"));
    m_cancelButton->setObjectName(QStringLiteral("CancelButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* button : {m_okButton, m_cancelButton}) {
        // The dialog has no default button: Enter on the check box must not answer for the user.
        button->setAutoDefault(false);
        button->setMinimumSize(twipsToPixels(1215, this), twipsToPixels(375, this));
        buttons->addWidget(button);
    }
    connect(m_okButton, &QPushButton::clicked, this, &frmRestart::OKButton_Click);
    connect(m_cancelButton, &QPushButton::clicked, this, &frmRestart::CancelButton_Click);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(twipsToPixels(180, this), twipsToPixels(240, this), twipsToPixels(180, this),
                               twipsToPixels(180, this));
    layout->addWidget(fraRestart);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setTabOrder(m_okButton, m_cancelButton);
    setTabOrder(m_cancelButton, m_chkHide);
    m_okButton->setFocus();
}

void frmRestart::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        m_cancelButton->click();
        return;
    }
    // Enter presses the button that has the focus, and nothing else.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (auto* button = qobject_cast<QPushButton*>(focusWidget()))
            button->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmRestart::saveChoice() {
    if (!m_context.settings.save(QStringLiteral("RestartDialog"), m_chkHide->checkState() == Qt::Checked
                                                                      ? QStringLiteral("0")
                                                                      : QStringLiteral("1")))
        m_context.errors.HandleError(kSettingsStoreError, m_context.settings.lastError(),
                                     QStringLiteral("frmRestart.saveChoice"));
}

void frmRestart::OKButton_Click() {
    saveChoice();
    RegistryBackend& target = m_context.registry.backend();
    // The target's Windows restarts (or its Wine session ends); a refusal is not reported.
    if (target.canRestart())
        target.requestRestart();
    else
        m_context.prompter.message(
            tr("The registry target %1 has no Windows that Tavimor can restart. The settings take "
               "effect when the Windows using this registry starts again.")
                .arg(target.targetName()),
            m_context.appTitle, MessageIcon::Information, MessageButtons::Ok);
    accept();
}

void frmRestart::CancelButton_Click() {
    saveChoice();
    reject();
}

} // namespace tavimor
