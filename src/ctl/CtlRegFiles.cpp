// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlRegFiles.h"

#include "base/FileUtil.h"
#include "catalogue/CatalogueEntry.h"
#include "catalogue/CatalogueFiles.h"
#include "catalogue/CatalogueListing.h"
#include "catalogue/PolicyExport.h"
#include "catalogue/ProgramContext.h"
#include "catalogue/ReportPage.h"
#include "catalogue/TemplateExport.h"
#include "catalogue/TemplateStates.h"
#include "catalogue/UnreadTally.h"
#include "ctl/CtlEnvironment.h"
#include "ctl/CtlLookup.h"
#include "ctl/CtlOptions.h"
#include "ctl/CtlOutput.h"
#include "ctl/CtlTemplates.h"
#include "registry/regfile/RegPatchImport.h"

#include <QSet>

namespace tavimor {

namespace {

constexpr qint64 kMaxRegFileSize = 64 * 1024 * 1024;

} // namespace

CtlRegFiles::CtlRegFiles(ProgramContext& context, const CtlOptions& options, CtlEnvironment& env,
                         CtlOutput& output)
    : m_context(context)
    , m_options(options)
    , m_env(env)
    , m_output(output) {
}

std::optional<QStringList> CtlRegFiles::selectedEntries(const XmlDocument& catalogue,
                                                        const QStringList& given) {
    QStringList addresses;
    QSet<QString> chosen;
    const CtlLookup lookup(catalogue);
    for (const QString& name : given) {
        QStringList found;
        if (const std::optional<QString> section = lookup.section(name)) {
            forEachEntry(catalogue, [&](const CatalogueEntry&, int s, int e) {
                if (sectionAddress(s) == *section)
                    found.append(entryAddress(s, e));
            });
        } else if (const std::optional<QString> entry = lookup.entry(name, nullptr)) {
            found.append(*entry);
        } else if (const PolicyInstance* policy = CtlTemplates::find(m_context, name, nullptr)) {
            if (!m_policies.contains(policy))
                m_policies.append(policy);
        } else {
            bool category = false;
            for (const CtlTemplates::Category& c : CtlTemplates::categories(m_context)) {
                if (c.path.compare(name, Qt::CaseInsensitive) != 0)
                    continue;
                category = true;
                for (const PolicyInstance* policy : c.policies)
                    if (!m_policies.contains(policy))
                        m_policies.append(policy);
            }
            if (!category) {
                m_output.fail((m_context.templates ? QStringLiteral("no section, entry or policy \"%1\"")
                                                   : QStringLiteral("no section or entry \"%1\""))
                                  .arg(name),
                              kExitFailure);
                return std::nullopt;
            }
        }
        for (const QString& address : found)
            if (!chosen.contains(address)) {
                chosen.insert(address);
                addresses.append(address);
            }
    }
    if (given.isEmpty()) {
        forEachEntry(catalogue,
                     [&](const CatalogueEntry&, int s, int e) { addresses.append(entryAddress(s, e)); });
        // Of the templates, the policies set: a file of every one would be mostly deletions.
        for (const StoredPolicy& stored : TemplateStates::read(catalogue, m_context.templates))
            if (stored.policy)
                m_policies.append(stored.policy);
    }
    return addresses;
}

std::optional<QByteArray> CtlRegFiles::readInput(const QString& name, qint64 maxSize, QString* error) {
    std::optional<QByteArray> content;
    if (name == QLatin1String("-"))
        content = m_env.readStandardInput ? m_env.readStandardInput(maxSize) : std::nullopt;
    else
        content = readWholeFile(name, maxSize);
    if (!content)
        *error = name == QLatin1String("-") ? QStringLiteral("cannot read standard input")
                                            : QStringLiteral("cannot read %1").arg(name);
    return content;
}

bool CtlRegFiles::writeOutput(const QString& name, const QByteArray& bytes, QString* error) {
    if (name != QLatin1String("-")) {
        QString why;
        if (writeFileAtomically(name, bytes, &why))
            return true;
        *error = QStringLiteral("cannot write %1: %2").arg(name, why);
        return false;
    }
    m_env.out.flush();
    QString why;
    if (m_env.writeStandardOutput && m_env.writeStandardOutput(bytes, &why))
        return true;
    *error = QStringLiteral("cannot write to standard output: %1").arg(why);
    return false;
}

int CtlRegFiles::exportReg() {
    RegFormat format = RegFormat::Version5;
    if (m_options.format == QLatin1String("4"))
        format = RegFormat::Regedit4;
    else if (!m_options.format.isEmpty() && m_options.format != QLatin1String("5"))
        return m_output.usageError(
            QStringLiteral("--format is 4 (REGEDIT4) or 5 (version 5.00), not \"%1\"").arg(m_options.format));
    const QString output = m_options.arguments.last();
    const QStringList given = m_options.arguments.mid(0, m_options.arguments.size() - 1);

    XmlDocument settings;
    const bool fromFile = !m_options.from.isEmpty();
    if (fromFile) {
        QString error;
        const std::optional<QByteArray> content = readInput(m_options.from, kMaxSettingsFileSize, &error);
        if (!content)
            return m_output.fail(error, kExitFailure);
        const QByteArray text = CatalogueFiles::decipherSettingsFile(*content, m_context.passPhrase, &error);
        if (!error.isEmpty())
            return m_output.fail(QStringLiteral("%1 cannot be opened: %2").arg(m_options.from, error),
                                 kExitFailure);
        if (!text.contains("<REGISTRYSETTINGS") || !settings.loadXML(text))
            return m_output.fail(QStringLiteral("%1: Not a valid tavimor file").arg(m_options.from),
                                 kExitFailure);
    }
    const XmlDocument& catalogue = fromFile ? settings : m_context.workingCatalogue;
    const std::optional<QStringList> addresses = selectedEntries(catalogue, given);
    if (!addresses)
        return kExitFailure;
    QStringList skipped;
    UnreadTally unread;
    RegPatch patch = fromFile ? PolicyExport::fromCatalogue(catalogue, *addresses, &skipped)
                              : PolicyExport::fromRegistry(m_context.registry.backend(), catalogue,
                                                           *addresses, &skipped, &unread);
    if (fromFile)
        TemplateExport::fromCatalogue(patch, m_context.registry.backend(), catalogue, m_policies);
    else
        TemplateExport::fromRegistry(patch, m_context.registry.backend(), m_policies);
    for (const QString& title : skipped)
        m_output.report(title + QStringLiteral(" names no registry key Tavimor can write; left out"));
    // A file that left out values it could not read would pass for the whole registry.
    if (!unread.isEmpty()) {
        m_output.reportUnread(unread, kExitFailure);
        return m_output.fail(QStringLiteral("%1 was not written").arg(output), kExitFailure);
    }

    QString error;
    if (!writeOutput(output, patch.serialize(format), &error))
        return m_output.fail(error, kExitFailure);
    if (output == QLatin1String("-"))
        return kExitOk;
    int values = 0;
    int deletions = 0;
    for (const RegPatch::Change& change : patch.changes())
        ++(change.kind == RegPatch::Change::Kind::SetValue ? values : deletions);
    const bool regedit4 = format == RegFormat::Regedit4;
    if (m_output.json()) {
        m_output.printJson({{QStringLiteral("file"), output},
                            {QStringLiteral("regFormat"), regedit4 ? 4 : 5},
                            {QStringLiteral("values"), values},
                            {QStringLiteral("deletions"), regedit4 ? 0 : deletions},
                            {QStringLiteral("notSet"), deletions}});
        return kExitOk;
    }
    QTextStream& out = m_output.out();
    out << "Wrote " << output << " (" << (regedit4 ? "REGEDIT4" : "version 5") << ", "
        << counted(values, "value", "values");
    if (!regedit4)
        out << ", " << counted(deletions, "deletion", "deletions");
    else if (deletions > 0)
        out << "; " << counted(deletions, "value", "values") << " not set, which REGEDIT4 cannot delete";
    out << ")." << Qt::endl;
    return kExitOk;
}

int CtlRegFiles::importReg() {
    const QString input = m_options.arguments.first();
    QString error;
    const std::optional<QByteArray> content = readInput(input, kMaxRegFileSize, &error);
    if (!content)
        return m_output.fail(error, kExitFailure);
    int line = 0;
    const std::optional<RegPatch> patch = RegPatch::parse(*content, &error, &line);
    if (!patch)
        return m_output.fail(QStringLiteral("%1:%2: %3; nothing was changed").arg(input).arg(line).arg(error),
                             kExitFailure);
    const std::optional<RegImportResult> result =
        importRegPatch(m_context.registry.backend(), *patch, &error);
    if (!result)
        return m_output.fail(error, kExitFailure);
    const QString target = m_context.registry.backend().targetName();
    if (m_output.json()) {
        m_output.printJson({{QStringLiteral("file"), input},
                            {QStringLiteral("target"), target},
                            {QStringLiteral("keys"), result->keys},
                            {QStringLiteral("written"), result->set},
                            {QStringLiteral("deleted"), result->deleted}});
        return kExitOk;
    }
    m_output.out() << "Imported " << input << " into " << target << ": "
                   << counted(result->set, "value", "values") << " written, " << result->deleted
                   << " deleted." << Qt::endl;
    return kExitOk;
}

int CtlRegFiles::report() {
    const QString output = m_options.arguments.last();
    QString address = QLatin1String(kRootAddress);
    if (m_options.arguments.size() == 2) {
        const std::optional<QString> section =
            CtlLookup(m_context.machineCatalogue).section(m_options.arguments.first());
        if (!section)
            return m_output.fail(QStringLiteral("no section \"%1\"").arg(m_options.arguments.first()),
                                 kExitFailure);
        address = *section;
    }
    const QDateTime now = m_env.now ? m_env.now() : QDateTime::currentDateTime();
    QString error;
    const std::optional<QByteArray> html =
        ReportPage::html(m_context.machineCatalogue, address, m_context.programFolder,
                         ReportPage::dateText(now), &error, m_context.templates);
    if (!html)
        return m_output.fail(error.replace(QStringLiteral("\r\n"), QStringLiteral(" ")), kExitFailure);
    if (!writeOutput(output, *html, &error))
        return m_output.fail(error, kExitFailure);
    if (output == QLatin1String("-"))
        return kExitOk;
    if (m_output.json())
        m_output.printJson({{QStringLiteral("file"), output}, {QStringLiteral("address"), address}});
    else
        m_output.out() << "Wrote " << output << "." << Qt::endl;
    return kExitOk;
}

} // namespace tavimor
