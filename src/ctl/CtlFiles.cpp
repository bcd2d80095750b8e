// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlFiles.h"

#include "base/FileUtil.h"
#include "catalogue/ApplyPlan.h"
#include "catalogue/CatalogueCheck.h"
#include "catalogue/CatalogueEntry.h"
#include "catalogue/CatalogueFiles.h"
#include "catalogue/ProgramContext.h"
#include "catalogue/RegistrySync.h"
#include "catalogue/UnreadTally.h"
#include "ctl/CtlEnvironment.h"
#include "ctl/CtlOptions.h"
#include "ctl/CtlOutput.h"
#include "ctl/CtlPolicy.h"
#include "grouppolicy/PolicyFolder.h"

#include <QFileInfo>
#include <QJsonArray>

namespace tavimor {

namespace {

const QString kRestartLine =
    QStringLiteral("A restart of Windows is needed before this change takes effect.");

bool isStandardStream(const QString& given) {
    return given == QLatin1String("-");
}

QString planLine(const PlannedWrite& step) {
    if (step.action == PlannedWrite::Action::TemplateChange)
        return QStringLiteral("%1: %2: %3 -> %4")
            .arg(step.title(), plannedPlace(step), step.beforeText, step.afterText);
    if (step.action == PlannedWrite::Action::CreateKey)
        return QStringLiteral("%1: %2: create key").arg(step.title(), plannedPlace(step));
    return QStringLiteral("%1: %2: %3 -> %4%5")
        .arg(step.title(), plannedPlace(step), plannedValueText(step.before))
        .arg(step.after)
        .arg(step.needsRestart ? QStringLiteral(" (restart)") : QString());
}

QJsonObject planJson(const PlannedWrite& step) {
    if (step.action == PlannedWrite::Action::TemplateChange) {
        const RegChange::Kind kind = step.change.kind;
        return QJsonObject{
            {QStringLiteral("action"), kind == RegChange::Kind::SetValue ? QStringLiteral("write")
                                       : kind == RegChange::Kind::DeleteValue
                                           ? QStringLiteral("delete")
                                           : QStringLiteral("deleteValues")},
            {QStringLiteral("section"), step.section},
            {QStringLiteral("name"), step.name},
            {QStringLiteral("policy"), step.address},
            {QStringLiteral("address"), step.address},
            {QStringLiteral("hive"), step.hive},
            {QStringLiteral("key"), step.keyPath},
            {QStringLiteral("valueName"), step.valueName},
            {QStringLiteral("before"), step.beforeText},
            {QStringLiteral("after"), step.afterText},
            {QStringLiteral("restart"), false},
        };
    }
    const bool write = step.action == PlannedWrite::Action::WriteValue;
    QJsonObject object{
        {QStringLiteral("action"), write ? QStringLiteral("write") : QStringLiteral("createKey")},
        {QStringLiteral("section"), step.section},
        {QStringLiteral("name"), step.name},
        {QStringLiteral("address"), step.address},
        {QStringLiteral("key"), step.hive},
        {QStringLiteral("path"), step.keyPath},
        {QStringLiteral("regname"), step.valueName},
        {QStringLiteral("restart"), step.needsRestart},
    };
    if (write) {
        object.insert(QStringLiteral("before"), jsonRegistryValue(step.before));
        object.insert(QStringLiteral("after"), step.after);
    }
    return object;
}

int countSections(const XmlDocument& catalogue) {
    int sections = 0;
    forEachSection(catalogue, [&](const XmlNode&, int) { ++sections; });
    return sections;
}

int countEntries(const XmlDocument& catalogue) {
    int entries = 0;
    forEachEntry(catalogue, [&](const CatalogueEntry&, int, int) { ++entries; });
    return entries;
}

} // namespace

CtlFiles::CtlFiles(ProgramContext& context, const CtlOptions& options, CtlEnvironment& env, CtlOutput& output)
    : m_context(context)
    , m_options(options)
    , m_env(env)
    , m_output(output) {
}

int CtlFiles::fail(const QString& text) {
    return m_output.fail(text, CtlOptions::failureStatus(m_options.command));
}

std::optional<QByteArray> CtlFiles::readInput(const QString& given, qint64 maxSize) {
    if (isStandardStream(given)) {
        std::optional<QByteArray> content =
            m_env.readStandardInput ? m_env.readStandardInput(maxSize) : std::nullopt;
        if (!content)
            fail(QStringLiteral("cannot read standard input"));
        return content;
    }
    const QFileInfo info(given);
    if (!info.exists()) {
        fail(QStringLiteral("%1 does not exist").arg(given));
        return std::nullopt;
    }
    QString why;
    std::optional<QByteArray> content = readWholeFile(given, maxSize, &why);
    if (!content)
        fail(QStringLiteral("cannot read %1: %2").arg(given, why));
    return content;
}

bool CtlFiles::writeOutput(const QString& given, const QByteArray& content) {
    QString why;
    if (isStandardStream(given)) {
        m_output.out().flush();
        if (!m_env.writeStandardOutput || !m_env.writeStandardOutput(content, &why)) {
            fail(QStringLiteral("cannot write to standard output: %1").arg(why));
            return false;
        }
        return true;
    }
    const QString path = QFileInfo(given).absoluteFilePath();
    if (!writeFileAtomically(path, content, &why)) {
        fail(QStringLiteral("%1 was not written: %2").arg(given, why));
        return false;
    }
    // The success line reports what the file holds, not what was handed to the system.
    if (readWholeFile(path, content.size(), &why) != content) {
        fail(QStringLiteral("%1 was written but does not read back as written%2")
                 .arg(given, why.isEmpty() ? QString() : QStringLiteral(": ") + why));
        return false;
    }
    return true;
}

bool CtlFiles::loadSettingsFile(const QString& given, XmlDocument& catalogue) {
    if (!isStandardStream(given) && QFileInfo(given).isDir()) {
        // A folder of Group Policy files, read over the registry's values now.
        const PolicyFolder folder(QFileInfo(given).absoluteFilePath());
        m_policyEntries.emplace();
        if (!CtlPolicy(m_context, m_options, m_output).loadIntoWorking(folder, false, &*m_policyEntries))
            return false;
        if (&catalogue != &m_context.workingCatalogue)
            catalogue.copyFrom(m_context.workingCatalogue);
        return true;
    }
    std::optional<QByteArray> content = readInput(given, kMaxSettingsFileSize);
    if (!content)
        return false;
    QString why;
    const QByteArray text = CatalogueFiles::decipherSettingsFile(std::exchange(*content, QByteArray()),
                                                                 m_context.passPhrase, &why);
    const QString name = isStandardStream(given) ? QStringLiteral("standard input") : given;
    if (!why.isEmpty()) {
        fail(QStringLiteral("%1 cannot be opened: %2").arg(name, why));
        return false;
    }
    if (!text.contains("<REGISTRYSETTINGS")) {
        fail(QStringLiteral("%1: Not a valid tavimor file").arg(name));
        return false;
    }
    if (!catalogue.loadXML(text) || catalogue.documentElement().isNull()) {
        fail(QStringLiteral("%1 does not hold a readable catalogue: %2").arg(name, catalogue.loadError()));
        return false;
    }
    return true;
}

int CtlFiles::apply() {
    const QString given = m_options.arguments.first();
    if (!loadSettingsFile(given, m_context.workingCatalogue))
        return kExitFailure;
    // What a Yes to the pending-changes question does, limited to the entries set when asked.
    m_context.machineCatalogue.copyFrom(m_context.workingCatalogue);
    const ApplyPlan plan = planApply(m_context.registry, m_context.machineCatalogue,
                                     m_options.onlySet ? PlanScope::OnlySet : PlanScope::AllEntries,
                                     m_policyEntries ? &*m_policyEntries : nullptr, m_context.templates);
    for (const QString& note : plan.notes)
        m_output.report(note);
    QJsonArray written;
    const ApplyOutcome outcome = executePlan(m_context, plan, [&](const PlannedWrite& step) {
        if (m_output.json())
            written.append(planJson(step));
        else
            m_output.out() << planLine(step) << Qt::endl;
    });
    RefreshCurrentValues(m_context, QLatin1String(kAllEntries));
    const QStringList notApplied = outcome.lines(plan);
    if (m_output.json()) {
        m_output.printJson(QJsonObject{{QStringLiteral("file"), given},
                                       {QStringLiteral("onlySet"), m_options.onlySet},
                                       {QStringLiteral("written"), written},
                                       {QStringLiteral("complete"), outcome.complete},
                                       {QStringLiteral("notApplied"), QJsonArray::fromStringList(notApplied)},
                                       {QStringLiteral("restartNeeded"), m_context.restartNeeded}});
    } else {
        if (outcome.complete && plan.steps.isEmpty())
            m_output.out() << "Nothing to do." << Qt::endl;
        if (m_context.restartNeeded)
            m_output.out() << kRestartLine << Qt::endl;
    }
    for (const QString& line : notApplied)
        m_output.report(QStringLiteral("not applied: ") + line);
    return outcome.complete ? kExitOk : kExitFailure;
}

int CtlFiles::diff() {
    const QString given = m_options.arguments.first();
    XmlDocument catalogue;
    if (!loadSettingsFile(given, catalogue))
        return kExitTrouble;
    const ApplyPlan plan = planApply(m_context.registry, catalogue,
                                     m_options.onlySet ? PlanScope::OnlySet : PlanScope::AllEntries,
                                     m_policyEntries ? &*m_policyEntries : nullptr, m_context.templates);
    for (const QString& note : plan.notes)
        m_output.report(note);
    if (m_output.json()) {
        QJsonArray changes;
        for (const PlannedWrite& step : plan.steps)
            changes.append(planJson(step));
        m_output.printJson(QJsonObject{{QStringLiteral("file"), given},
                                       {QStringLiteral("onlySet"), m_options.onlySet},
                                       {QStringLiteral("changes"), changes},
                                       {QStringLiteral("restartNeeded"), plan.restartNeeded()}});
    } else {
        for (const PlannedWrite& step : plan.steps)
            m_output.out() << planLine(step) << Qt::endl;
        if (plan.steps.isEmpty() && !plan.stop)
            m_output.out() << "Nothing to do." << Qt::endl;
        if (plan.restartNeeded())
            m_output.out() << kRestartLine << Qt::endl;
    }
    // Values that could not be read cannot be compared: that is trouble, not a difference.
    for (const QString& line : plan.leftOut.lines())
        m_output.report(QStringLiteral("could not be read, left out: ") + line);
    if (plan.stop)
        return fail(QStringLiteral("%1: %2; apply would stop here").arg(plan.stop->title, plan.stop->reason));
    if (!plan.leftOut.isEmpty())
        return kExitTrouble;
    return plan.steps.isEmpty() ? kExitOk : kExitDiffers;
}

int CtlFiles::save() {
    const QString given = m_options.arguments.first();
    if (isStandardStream(given) && m_output.json())
        return m_output.usageError(QStringLiteral("--json cannot go with - as the output"));
    QString why;
    const std::optional<QByteArray> content =
        CatalogueFiles::settingsFileContent(m_context.workingCatalogue, m_context.passPhrase, &why);
    if (!content)
        return fail(QStringLiteral("%1 was not written: %2").arg(given, why));
    if (!writeOutput(given, *content))
        return kExitFailure;
    // A value that could not be read is saved as unknown, never as a value; the user hears of it.
    UnreadTally unread;
    forEachEntry(m_context.workingCatalogue,
                 [&](const CatalogueEntry& entry, int, int) { unread.addEntry(entry); });
    if (isStandardStream(given))
        return m_output.reportUnread(unread, kExitOk);
    if (m_output.json())
        m_output.printJson(
            QJsonObject{{QStringLiteral("file"), given},
                        {QStringLiteral("sections"), countSections(m_context.workingCatalogue)},
                        {QStringLiteral("entries"), countEntries(m_context.workingCatalogue)}});
    else
        m_output.out() << "Wrote " << given << "." << Qt::endl;
    return m_output.reportUnread(unread, kExitOk);
}

int CtlFiles::exportXml() {
    const QString given = m_options.arguments.first();
    XmlDocument document;
    if (!loadSettingsFile(given, document))
        return kExitFailure;
    if (m_output.json())
        m_output.printJson(
            QJsonObject{{QStringLiteral("file"), given}, {QStringLiteral("xml"), document.xml()}});
    else
        m_output.out() << document.xml();
    return kExitOk;
}

int CtlFiles::importXml() {
    const QString source = m_options.arguments.at(0);
    const QString target = m_options.arguments.at(1);
    if (isStandardStream(target) && m_output.json())
        return m_output.usageError(QStringLiteral("--json cannot go with - as the output"));
    const std::optional<QByteArray> content = readInput(source, kMaxSettingsFileSize);
    if (!content)
        return kExitFailure;
    XmlDocument document;
    document.loadEncoded(*content);
    const QStringList problems = checkCatalogue(document);
    if (!problems.isEmpty()) {
        for (const QString& problem : problems)
            m_output.report(QStringLiteral("%1: %2").arg(source, problem));
        return fail(QStringLiteral("%1 was not written").arg(target));
    }
    const QByteArray xml = document.serialize();
    QString why;
    const std::optional<QByteArray> enciphered =
        CatalogueFiles::settingsFileContent(xml, m_context.passPhrase, &why);
    if (!enciphered)
        return fail(QStringLiteral("%1 was not written: %2").arg(target, why));
    if (CatalogueFiles::decipherSettingsFile(*enciphered, m_context.passPhrase) != xml)
        return fail(QStringLiteral("the catalogue could not be enciphered; %1 was not written").arg(target));
    if (!writeOutput(target, *enciphered))
        return kExitFailure;
    if (isStandardStream(target))
        return kExitOk;
    const int sections = countSections(document);
    const int entries = countEntries(document);
    if (m_output.json()) {
        m_output.printJson(QJsonObject{{QStringLiteral("file"), source},
                                       {QStringLiteral("output"), target},
                                       {QStringLiteral("sections"), sections},
                                       {QStringLiteral("entries"), entries}});
        return kExitOk;
    }
    m_output.out() << "Wrote " << target << " (" << sections << (sections == 1 ? " section, " : " sections, ")
                   << entries << (entries == 1 ? " entry" : " entries") << ")." << Qt::endl;
    return kExitOk;
}

} // namespace tavimor
