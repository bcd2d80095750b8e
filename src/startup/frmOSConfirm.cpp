// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmOSConfirm.h"

#include "StartupPictures.h"
#include "StartupSequence.h"
#include "TavimorVersion.h"
#include "base/ErrorHandler.h"
#include "catalogue/ProgramContext.h"
#include "settings/SettingsStore.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace tavimor {

frmOSConfirm::frmOSConfirm(SettingsStore& settings, ErrorHandler& errors, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , m_settings(settings)
    , m_errors(errors) {
    setObjectName(QStringLiteral("frmOSConfirm"));
    setWindowTitle(tr("%1 for 95/98/Me").arg(QLatin1String(kAppTitle)));
    setWindowIcon(startupIcon(QStringLiteral("tavimor32.png")));

    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    icon->setAccessibleName(tr("Warning"));
    icon->setAlignment(Qt::AlignTop);
    auto* message = new QLabel(tr("You are running Tavimor %1 on an unsupported version of Windows.\nThis "
                                  "program is designed to run only on Windows'95/98/Me.\n\nDo you want to "
                                  "continue running the program?")
                                   .arg(QLatin1String(TAVIMOR_VERSION)),
                               this);
    message->setObjectName(QStringLiteral("lblMessage"));
    m_hide = new QCheckBox(tr("Don't display this dialog again."), this);
    m_hide->setObjectName(QStringLiteral("chkHide"));

    auto* yes = new QPushButton(tr("Yes"), this);
    yes->setObjectName(QStringLiteral("cmdOK"));
    yes->setDefault(true);
    auto* no = new QPushButton(tr("No"), this);
    no->setObjectName(QStringLiteral("cmdCancel"));
    connect(yes, &QPushButton::clicked, this, &frmOSConfirm::cmdOK_Click);
    connect(no, &QPushButton::clicked, this, &frmOSConfirm::cmdCancel_Click);

    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addWidget(message, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_hide);
    buttons->addStretch(1);
    buttons->addWidget(yes);
    buttons->addWidget(no);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    setFixedSize(sizeHint());
}

qint16 frmOSConfirm::ShowConfirmation() {
    exec();
    return m_result;
}

void frmOSConfirm::cmdOK_Click() {
    if (!m_settings.save(QLatin1String(kOSDialogKey),
                         m_hide->isChecked() ? QStringLiteral("0") : QStringLiteral("1")))
        m_errors.HandleError(kSettingsStoreError, m_settings.lastError(),
                             QStringLiteral("frmOSConfirm.cmdOK_Click"));
    m_result = 1;
    accept();
}

void frmOSConfirm::cmdCancel_Click() {
    m_result = 0;
    reject();
}

} // namespace tavimor
