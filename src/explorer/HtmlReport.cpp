// SPDX-License-Identifier: GPL-3.0-or-later
#include "HtmlReport.h"

#include "base/FileUtil.h"
#include "base/Prompter.h"
#include "catalogue/CatalogueListing.h"
#include "catalogue/ProgramContext.h"
#include "catalogue/ReportPage.h"
#include "gui/Shell.h"

#include <QDir>
#include <QFileInfo>

namespace tavimor {

HtmlReport::HtmlReport(ProgramContext& context, Shell& shell)
    : m_context(context)
    , m_shell(shell) {
}

void HtmlReport::showCritical(const QString& text) {
    m_context.prompter.message(text, m_context.appTitle, MessageIcon::Critical, MessageButtons::Ok);
}

QString HtmlReport::AskReportFileName() {
    FileDialogRequest request;
    request.title = tr("Report As HTML");
    request.fileName = QStringLiteral(".html");
    request.filter = tr("HTML Files | *.html");
    request.flags = 2050;
    const QString name = m_context.prompter.saveFileName(request);
    // The dialog gives the suggested ".html" back as a full path in the folder it shows.
    return QFileInfo(name).fileName().toLower() == QLatin1String(".html") ? QString() : name;
}

void HtmlReport::GenerateReport(const QString& address, const QString& dateText) {
    if (!m_context.machineCatalogue.selectSingleNode(QLatin1String(kRootAddress))) {
        m_context.prompter.message(tr("There is no catalogue to report on. Open a settings file first."),
                                   m_context.appTitle, MessageIcon::Information, MessageButtons::Ok);
        return;
    }
    QString error;
    const std::optional<QByteArray> html = ReportPage::html(
        m_context.machineCatalogue, address, m_context.programFolder, dateText, &error, m_context.templates);
    if (!html) {
        showCritical(error);
        return;
    }
    const QString name = AskReportFileName();
    if (name.isEmpty())
        return;
    QString writeError;
    if (!writeFileAtomically(name, *html, &writeError)) {
        showCritical(tr("The report could not be written to %1.\r\n%2")
                         .arg(QDir::toNativeSeparators(name), writeError));
        return;
    }
    m_shell.open(name);
}

} // namespace tavimor
