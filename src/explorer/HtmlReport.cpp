#include "HtmlReport.h"

#include "base/FileUtil.h"
#include "base/Prompter.h"
#include "catalogue/CatalogueListing.h"
#include "catalogue/ProgramContext.h"
#include "explorer/ReportTransform.h"
#include "gui/Shell.h"

#include <QDir>

namespace tavimor {

HtmlReport::HtmlReport(ProgramContext& context, Shell& shell)
    : m_context(context)
    , m_shell(shell) {
}

QString HtmlReport::styleSheetPath() const {
    return m_context.programFolder + QStringLiteral("/tavimor.xsl");
}

void HtmlReport::showCritical(const QString& text) {
    m_context.prompter.message(text, m_context.appTitle, MessageIcon::Critical, MessageButtons::Ok);
}

XmlDocument HtmlReport::reportDocument(const XmlDocument& source, const QString& address) {
    XmlDocument report;
    report.appendChild(
        report.createProcessingInstruction(QStringLiteral("xml"), QStringLiteral("version=\"1.0\"")));
    const QString root = QLatin1String(kRootAddress);
    if (address == root) {
        const XmlNode whole = source.selectSingleNode(root);
        if (whole)
            report.appendChild(report.importNode(whole));
        return report;
    }
    XmlNode element = report.createElement(root);
    if (const XmlNode sourceRoot = source.selectSingleNode(root))
        for (const auto& [name, value] : sourceRoot.attributes())
            element.setAttribute(name, value);
    report.appendChild(element);
    if (const XmlNode section = source.selectSingleNode(address))
        element.appendChild(report.importNode(section));
    return report;
}

QString HtmlReport::AskReportFileName() {
    FileDialogRequest request;
    request.title = QStringLiteral("Report As HTML");
    request.fileName = QStringLiteral(".html");
    request.filter = QStringLiteral("HTML Files | *.html");
    request.flags = 2050;
    const QString name = m_context.prompter.saveFileName(request);
    return name.toLower() == QLatin1String(".html") ? QString() : name;
}

void HtmlReport::GenerateReport(const QString& address, const QString& dateText) {
    const XmlDocument report = reportDocument(m_context.machineCatalogue, address);
    const QString sheet = styleSheetPath();
    QString error;
    const std::optional<QByteArray> html =
        ReportTransform::transform(report.serialize(), sheet, {{"reportDate", dateText}}, &error);
    if (!html) {
        showCritical(QStringLiteral("The report could not be made with the style sheet ") +
                     QDir::toNativeSeparators(sheet) + QStringLiteral(".\r\n") + error);
        return;
    }
    const QString name = AskReportFileName();
    if (name.isEmpty())
        return;
    QString writeError;
    if (!writeFileAtomically(name, {*html, "\r\n"}, &writeError)) {
        showCritical(QStringLiteral("The report could not be written to ") + QDir::toNativeSeparators(name) +
                     QStringLiteral(".\r\n") + writeError);
        return;
    }
    m_shell.open(name);
}

} // namespace tavimor
