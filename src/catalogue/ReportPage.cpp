// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReportPage.h"

#include "catalogue/CatalogueListing.h"
#include "catalogue/ReportTransform.h"

#include <QDir>
#include <QLocale>

namespace tavimor {

XmlDocument ReportPage::reportDocument(const XmlDocument& source, const QString& address) {
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

QString ReportPage::styleSheetPath(const QString& programFolder) {
    return programFolder + QStringLiteral("/tavimor.xsl");
}

QString ReportPage::dateText(const QDateTime& when) {
    const QLocale locale;
    return locale.toString(when.date(), QLocale::LongFormat) + QStringLiteral(", ") +
           locale.toString(when.time(), QLocale::ShortFormat);
}

std::optional<QByteArray> ReportPage::html(const XmlDocument& source, const QString& address,
                                           const QString& programFolder, const QString& dateText,
                                           QString* error) {
    const QString sheet = styleSheetPath(programFolder);
    QString why;
    const std::optional<QByteArray> page = ReportTransform::transform(
        reportDocument(source, address).serialize(), sheet, {{"reportDate", dateText}}, &why);
    if (!page) {
        if (error)
            *error = QStringLiteral("The report could not be made with the style sheet ") +
                     QDir::toNativeSeparators(sheet) + QStringLiteral(".\r\n") + why;
        return std::nullopt;
    }
    return *page + "\r\n";
}

} // namespace tavimor
