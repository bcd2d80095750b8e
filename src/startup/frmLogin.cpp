// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmLogin.h"

#include "StartupPictures.h"
#include "StartupSequence.h"
#include "base/Prompter.h"
#include "catalogue/Password.h"
#include "catalogue/ProgramContext.h"
#include "gui/Twips.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tavimor {

frmLogin::frmLogin(Prompter& prompter, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , m_prompter(prompter) {
    setObjectName(QStringLiteral("frmLogin"));
    setWindowTitle(QLatin1String(kAppTitle));
    setWindowIcon(startupIcon(QStringLiteral("key32.png")));

    const char* texts[2] = {QT_TR_NOOP("&Password:"), QT_TR_NOOP("&Verify Password:")};
    auto* grid = new QGridLayout(this);
    for (int i = 0; i < 2; ++i) {
        m_boxes[i] = new QLineEdit(this);
        m_boxes[i]->setObjectName(QStringLiteral("txtPassword%1").arg(i));
        m_boxes[i]->setEchoMode(QLineEdit::Password);
        m_boxes[i]->setMaxLength(kMaxPasswordLength);
        m_boxes[i]->setMinimumWidth(twipsToPixels(2175, this));
        m_labels[i] = new QLabel(tr(texts[i]), this);
        m_labels[i]->setObjectName(QStringLiteral("lblLabels%1").arg(i));
        m_labels[i]->setBuddy(m_boxes[i]);
        grid->addWidget(m_labels[i], i, 0);
        grid->addWidget(m_boxes[i], i, 1, 1, 2);
    }
    // Login mode hides the second row but keeps the dialog's size.
    for (QWidget* w : {static_cast<QWidget*>(m_labels[1]), static_cast<QWidget*>(m_boxes[1])}) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
    }
    setTabOrder(m_boxes[0], m_boxes[1]);

    auto* ok = new QPushButton(tr("&OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    for (QPushButton* button : {ok, cancel})
        button->setMinimumSize(twipsToPixels(1140, this), twipsToPixels(390, this));
    connect(ok, &QPushButton::clicked, this, &frmLogin::cmdOK_Click);
    connect(cancel, &QPushButton::clicked, this, &frmLogin::cmdCancel_Click);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 2, 0, 1, 3);

    const QSize hint = sizeHint();
    setFixedSize(std::max(hint.width(), twipsToPixels(3735, this)),
                 std::max(hint.height(), twipsToPixels(1350, this)));
}

void frmLogin::prepare(bool bSet) {
    m_set = bSet;
    m_cancelledLogin = false;
    m_entered.clear();
    for (QLineEdit* box : m_boxes)
        box->clear();
    m_labels[1]->setVisible(bSet);
    m_boxes[1]->setVisible(bSet);
    m_boxes[0]->setFocus();
}

QString frmLogin::Start(bool bSet) {
    prepare(bSet);
    exec();
    return enteredPassword();
}

QString frmLogin::enteredPassword() const {
    return trimTrailingSpaces(m_entered);
}

void frmLogin::cmdOK_Click() {
    const QString title = QLatin1String(kPasswordTitle);
    if (m_set && m_boxes[0]->text() != m_boxes[1]->text()) {
        m_prompter.message(tr("Passwords don't match"), title, MessageIcon::Information, MessageButtons::Ok);
        for (QLineEdit* box : m_boxes)
            box->clear();
        m_boxes[0]->setFocus();
        return;
    }
    m_entered = m_boxes[0]->text();
    if (m_set)
        m_prompter.message(tr("Password has been set.\r\nTavimor requires this password to be "
                              "used everytime for login"),
                           title, MessageIcon::Information, MessageButtons::Ok);
    accept();
}

void frmLogin::cmdCancel_Click() {
    m_entered.clear();
    m_cancelledLogin = !m_set;
    QDialog::reject();
}

void frmLogin::keyPressEvent(QKeyEvent* event) {
    // Esc is "Cancel"; the close box alone closes without it.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdCancel_Click();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace tavimor
