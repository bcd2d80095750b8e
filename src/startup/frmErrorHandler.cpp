// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmErrorHandler.h"

#include "ErrorReport.h"
#include "Maker.h"
#include "StartupPictures.h"
#include "base/Clock.h"
#include "base/Prompter.h"
#include "catalogue/ProgramContext.h"
#include "gui/Shell.h"
#include "gui/Twips.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tavimor {

frmErrorHandler::frmErrorHandler(const Services& services, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , m_services(services) {
    setObjectName(QStringLiteral("frmErrorHandler"));
    setWindowTitle(QLatin1String(kAppTitle) + QLatin1Char(' '));
    setWindowIcon(startupIcon(QStringLiteral("quillmoor32.png")));

    auto* band = new QWidget(this);
    band->setObjectName(QStringLiteral("pctTop"));
    band->setAutoFillBackground(true);
    QPalette bandPalette = band->palette();
    // The light band of a light palette; base and text colours keep it readable in a dark one.
    bandPalette.setColor(QPalette::Window, bandPalette.color(QPalette::Base));
    bandPalette.setColor(QPalette::WindowText, bandPalette.color(QPalette::Text));
    band->setPalette(bandPalette);
    auto* icon = new QLabel(band);
    icon->setPixmap(startupPicture(QStringLiteral("quillmoor32.png")));
    icon->setAccessibleName(tr("Quillmoor logo"));
    icon->setAlignment(Qt::AlignTop);
    auto* title =
        new QLabel(tr("Tavimor4.exe has encountered a problem and needs to close. We are sorry for the "
                      "inconvenience."),
                   band);
    title->setObjectName(QStringLiteral("lblTitle1"));
    title->setWordWrap(true);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto* bandLayout = new QHBoxLayout(band);
    bandLayout->addWidget(title, 1);
    bandLayout->addWidget(icon);

    auto label = [this](const char* name, const QString& text) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QLatin1String(name));
        l->setWordWrap(true);
        return l;
    };
    auto* separator = new QFrame(this);
    separator->setObjectName(QStringLiteral("fraSeperator"));
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);

    m_report = new QPlainTextEdit(this);
    m_report->setObjectName(QStringLiteral("txtErrorReport"));
    m_report->setReadOnly(true);
    m_report->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    auto* send = new QPushButton(tr("&Send Error Report"), this);
    send->setObjectName(QStringLiteral("cmdSendReport"));
    auto* dontSend = new QPushButton(tr("&Don't Send"), this);
    dontSend->setObjectName(QStringLiteral("cmdDontSend"));
    connect(send, &QPushButton::clicked, this, &frmErrorHandler::cmdSendReport_Click);
    connect(dontSend, &QPushButton::clicked, this, &frmErrorHandler::cmdDontSend_Click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(send);
    buttons->addWidget(dontSend);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, twipsToPixels(120, this));
    layout->addWidget(band);
    auto* body = new QVBoxLayout;
    const int margin = twipsToPixels(180, this);
    body->setContentsMargins(margin, 0, margin, 0);
    body->addWidget(label("lblInfo1", tr("If you were in the middle of something, the information "
                                         "you were working on might be lost.")));
    body->addWidget(label("lblInfo2", tr("Please tell Quillmoor about this problem.")));
    body->addWidget(label("lblInfo3", tr("We have created an error report that you can send to "
                                         "us. We will check the problem and get back to you.")));
    body->addWidget(separator);
    body->addWidget(m_report, 1);
    body->addLayout(buttons);
    layout->addLayout(body, 1);

    setFixedSize(twipsToPixels(6960, this), twipsToPixels(3975, this));
}

void frmErrorHandler::setError(qint32 lTempErrNumber, const QString& sTempErrDesc,
                               const QString& sTempErrSrc) {
    m_number = lTempErrNumber;
    m_description = sTempErrDesc;
    m_source = sTempErrSrc;
}

void frmErrorHandler::DisplayError(qint32 lTempErrNumber, const QString& sTempErrDesc,
                                   const QString& sTempErrSrc) {
    setError(lTempErrNumber, sTempErrDesc, sTempErrSrc);
    exec();
}

void frmErrorHandler::cmdSendReport_Click() {
    const QDateTime now = m_services.clock.now();
    const QString report =
        errorReportText(QLatin1String(kMakerErrorMail), now, m_number, m_description, m_source);
    m_report->setPlainText(report);
    QString why;
    if (writeErrorLog(report, m_services.programFolder, m_services.fallbackFolder, &why).isEmpty()) {
        // The window stays, so the user can still leave by the other button.
        m_services.prompter.message(errorWindowFailureText(75, tr("Path/File access error: ") + why,
                                                           QStringLiteral(".cmdSendReport_Click")),
                                    QLatin1String(kAppTitle), MessageIcon::None, MessageButtons::Ok);
        return;
    }
    m_services.shell.open(
        errorReportLink(QLatin1String(kMakerErrorMail), now, m_number, m_description, m_source));
    CloseAll();
}

void frmErrorHandler::cmdDontSend_Click() {
    CloseAll();
}

void frmErrorHandler::CloseAll() {
    m_services.quit(0);
}

} // namespace tavimor
