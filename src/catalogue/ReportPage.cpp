// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReportPage.h"

#include "catalogue/CatalogueListing.h"
#include "catalogue/ReportTransform.h"
#include "catalogue/TemplateStates.h"
#include "catalogue/TemplateTree.h"

#include <QDir>
#include <QLocale>

namespace tavimor {

namespace {

// The labels the policy's editor gives its elements, else their ids.
QString elementLabel(const TemplateSet& set, const PolicyInstance& policy, const AdmxElement& element) {
    for (const PresentationControl& control : set.presentation(policy)) {
        // "URL:" and a check box's sentence alike end before the value.
        QString label = control.label.trimmed();
        while (label.endsWith(QLatin1Char(':')) || label.endsWith(QLatin1Char('.')))
            label.chop(1);
        if (control.refId == element.id && !label.isEmpty())
            return label;
    }
    return element.id;
}

void nameTemplatePolicies(XmlDocument& report, const TemplateSet& set) {
    for (const StoredPolicy& stored : TemplateStates::read(report, &set)) {
        if (!stored.policy)
            continue;
        const PolicyInstance& policy = *stored.policy;
        XmlNode node = stored.node;
        QStringList values;
        if (stored.setting.state == PolicyState::Enabled)
            for (qsizetype i = 0; i < policy.policy->elements.size(); ++i) {
                const AdmxElement& element = policy.policy->elements[i];
                const ElementValue value = stored.setting.values.value(i);
                const QString shown = element.kind != ElementKind::Boolean
                                          ? PolicyValues::display(set, policy, i, value)
                                      : value.number ? QStringLiteral("Yes")
                                                     : QStringLiteral("No");
                values.append(elementLabel(set, policy, element) + QStringLiteral(": ") + shown);
            }
        node.setAttribute(QStringLiteral("Title"), set.displayName(policy));
        node.setAttribute(QStringLiteral("Place"), TemplateTree::placeOf(set, policy));
        node.setAttribute(QStringLiteral("Key"), policy.hiveName() + QLatin1Char('\\') + policy.policy->key);
        node.setAttribute(QStringLiteral("Values"), values.join(QStringLiteral("; ")));
    }
}

} // namespace

XmlDocument ReportPage::reportDocument(const XmlDocument& source, const QString& address,
                                       const TemplateSet* templates) {
    XmlDocument report;
    report.appendChild(
        report.createProcessingInstruction(QStringLiteral("xml"), QStringLiteral("version=\"1.0\"")));
    const QString root = QLatin1String(kRootAddress);
    if (address == root) {
        const XmlNode whole = source.selectSingleNode(root);
        if (whole)
            report.appendChild(report.importNode(whole));
        if (templates)
            nameTemplatePolicies(report, *templates);
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
                                           QString* error, const TemplateSet* templates) {
    const QString sheet = styleSheetPath(programFolder);
    QString why;
    const std::optional<QByteArray> page = ReportTransform::transform(
        reportDocument(source, address, templates).serialize(), sheet, {{"reportDate", dateText}}, &why);
    if (!page) {
        if (error)
            *error = QStringLiteral("The report could not be made with the style sheet ") +
                     QDir::toNativeSeparators(sheet) + QStringLiteral(".\r\n") + why;
        return std::nullopt;
    }
    return *page + "\r\n";
}

} // namespace tavimor
