// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlTemplates.h"

#include "catalogue/ProgramContext.h"
#include "catalogue/RegistrySync.h"
#include "catalogue/TemplateEdit.h"
#include "catalogue/TemplatePlan.h"
#include "catalogue/TemplateStates.h"
#include "ctl/CtlOptions.h"
#include "ctl/CtlOutput.h"
#include "templates/PolicyReader.h"
#include "templates/PolicyWriter.h"

#include <QJsonArray>

namespace tavimor {

namespace {

QString typeName(quint32 type) {
    switch (type) {
    case REG_SZ:
        return QStringLiteral("REG_SZ");
    case REG_EXPAND_SZ:
        return QStringLiteral("REG_EXPAND_SZ");
    case REG_DWORD:
        return QStringLiteral("REG_DWORD");
    case REG_MULTI_SZ:
        return QStringLiteral("REG_MULTI_SZ");
    case REG_QWORD:
        return QStringLiteral("REG_QWORD");
    default:
        return QString();
    }
}

// Numbers JSON holds exactly; a longDecimal beyond them is given as its digits.
QJsonValue jsonNumber(quint64 number) {
    return number < (quint64(1) << 53) ? QJsonValue(qint64(number)) : QJsonValue(QString::number(number));
}

QJsonValue jsonElementValue(const TemplateSet& set, const PolicyInstance& policy, qsizetype index,
                            const PolicySetting& setting) {
    if (setting.state != PolicyState::Enabled || !setting.values.value(index).present)
        return QJsonValue();
    const AdmxElement& e = policy.policy->elements[index];
    const ElementValue& v = setting.values[index];
    switch (e.kind) {
    case ElementKind::Boolean:
        return v.number != 0;
    case ElementKind::Decimal:
    case ElementKind::LongDecimal:
        return jsonNumber(v.number);
    case ElementKind::Enum:
        return PolicyValues::display(set, policy, index, v);
    case ElementKind::Text:
        return v.text;
    case ElementKind::MultiText:
        return QJsonArray::fromStringList(v.strings);
    case ElementKind::List:
        if (!e.explicitValue)
            return QJsonArray::fromStringList(v.strings);
        QJsonArray entries;
        for (qsizetype i = 0; i < v.strings.size(); ++i)
            entries.append(QJsonObject{{QStringLiteral("name"), v.names.value(i)},
                                       {QStringLiteral("value"), v.strings[i]}});
        return entries;
    }
    return QJsonValue();
}

QString changeLine(const RegChange& change) {
    switch (change.kind) {
    case RegChange::Kind::SetValue:
        return QStringLiteral("%1 = %2").arg(changePlace(change), PolicyReader::valueText(change.value));
    case RegChange::Kind::DeleteValue:
        return QStringLiteral("%1 deleted").arg(changePlace(change));
    case RegChange::Kind::DeleteValues:
        return QStringLiteral("%1 deleted").arg(changePlace(change));
    case RegChange::Kind::CreateKey:
        break;
    }
    return changePlace(change);
}

} // namespace

CtlTemplates::CtlTemplates(ProgramContext& context, const CtlOptions& options, CtlOutput& output)
    : m_context(context)
    , m_options(options)
    , m_output(output) {
}

const PolicyInstance* CtlTemplates::find(const ProgramContext& context, const QString& given,
                                         QString* error) {
    if (!context.templates)
        return nullptr;
    const QList<const PolicyInstance*> found = context.templates->findByName(given);
    if (found.size() == 1)
        return found.first();
    if (error && found.size() > 1)
        *error = QStringLiteral("%1 is a policy of the computer and of the user; name one as %2 or %3")
                     .arg(given, found[0]->name(), found[1]->name());
    return nullptr;
}

QString CtlTemplates::workingState(const ProgramContext& context, const PolicyInstance& policy) {
    return policyStateText(TemplateStates::settingOf(context.workingCatalogue, policy).state);
}

QString CtlTemplates::machineState(const ProgramContext& context, const PolicyInstance& policy) {
    return policyStateText(TemplateStates::settingOf(context.machineCatalogue, policy).state);
}

QList<CtlTemplates::Category> CtlTemplates::categories(const ProgramContext& context) {
    QList<Category> categories;
    if (!context.templates)
        return categories;
    QHash<QString, qsizetype> index;
    for (const PolicyInstance& policy : context.templates->policies()) {
        const QString path = context.templates->categoryPath(policy).join(QLatin1Char('/'));
        const auto found = index.constFind(path);
        if (found == index.cend()) {
            index.insert(path, categories.size());
            categories.append({path, {&policy}});
        } else {
            categories[*found].policies.append(&policy);
        }
    }
    return categories;
}

QList<const PolicyInstance*> CtlTemplates::matching(const ProgramContext& context, const QStringList& words) {
    QList<const PolicyInstance*> found;
    if (!context.templates)
        return found;
    const TemplateSet& set = *context.templates;
    for (const PolicyInstance& policy : set.policies()) {
        QStringList parts{policy.name(), set.displayName(policy), set.explainText(policy),
                          set.categoryPath(policy).join(QLatin1Char('/')), policy.policy->valueName};
        for (const AdmxElement& element : policy.policy->elements)
            parts.append(element.valueName);
        const QString haystack = parts.join(QLatin1Char('\n'));
        if (std::all_of(words.begin(), words.end(), [&](const QString& word) {
                return haystack.contains(word.trimmed(), Qt::CaseInsensitive);
            }))
            found.append(&policy);
    }
    return found;
}

QJsonObject CtlTemplates::json(const ProgramContext& context, const PolicyInstance& policy) {
    const TemplateSet& set = *context.templates;
    const PolicySetting working = TemplateStates::settingOf(context.workingCatalogue, policy);
    const PolicySetting machine = TemplateStates::settingOf(context.machineCatalogue, policy);
    QJsonArray elements;
    for (qsizetype i = 0; i < policy.policy->elements.size(); ++i) {
        const AdmxElement& e = policy.policy->elements[i];
        elements.append(QJsonObject{
            {QStringLiteral("id"), e.id},
            {QStringLiteral("kind"), PolicyValues::kindName(e.kind)},
            {QStringLiteral("type"), typeName(e.registryType())},
            {QStringLiteral("key"), e.key.isEmpty() ? policy.policy->key : e.key},
            {QStringLiteral("valueName"), e.valueName},
            {QStringLiteral("required"), e.required},
            {QStringLiteral("value"), jsonElementValue(set, policy, i, working)},
            {QStringLiteral("machineValue"), jsonElementValue(set, policy, i, machine)},
        });
    }
    QJsonObject object{
        {QStringLiteral("policy"), policy.name()},
        {QStringLiteral("address"), policy.name()},
        {QStringLiteral("namespace"), policy.templateNamespace()},
        {QStringLiteral("section"), set.categoryPath(policy).join(QLatin1Char('/'))},
        {QStringLiteral("name"), set.displayName(policy)},
        {QStringLiteral("class"), policy.scopeName()},
        {QStringLiteral("hive"), policy.hiveName()},
        {QStringLiteral("key"), policy.policy->key},
        {QStringLiteral("valueName"), policy.policy->valueName},
        {QStringLiteral("working"), policyStateText(working.state)},
        {QStringLiteral("machine"), policyStateText(machine.state)},
        {QStringLiteral("elements"), elements},
        {QStringLiteral("explain"), set.explainText(policy)},
        {QStringLiteral("supportedOn"), set.supportedOnText(policy)},
    };
    if (machine.state == PolicyState::Other)
        object.insert(QStringLiteral("found"),
                      QJsonArray::fromStringList(TemplateStates::foundOf(context.machineCatalogue, policy)));
    return object;
}

int CtlTemplates::write(const PolicySettings& settings, QString* why) {
    return applyPoliciesNow(m_context, settings, why) ? kExitOk : kExitFailure;
}

int CtlTemplates::set(const PolicyInstance& policy) {
    const QString word = m_options.arguments.at(1).trimmed().toLower();
    PolicyState state = PolicyState::Enabled;
    if (word == QLatin1String("disabled") || word == QLatin1String("disable"))
        state = PolicyState::Disabled;
    else if (word != QLatin1String("enabled") && word != QLatin1String("enable"))
        return m_output.usageError(
            QStringLiteral("%1 takes Enabled or Disabled (unset makes it not configured), not \"%2\"")
                .arg(policy.name(), m_options.arguments.at(1)));
    QString why;
    const PolicySetting current = TemplateStates::settingOf(m_context.workingCatalogue, policy);
    const std::optional<PolicySetting> setting = PolicyValues::fromArguments(
        *m_context.templates, policy, state, m_options.arguments.mid(2), current, &why);
    if (!setting)
        return m_output.usageError(QStringLiteral("%1: %2").arg(policy.name(), why));
    // The registry held it already, so nothing was written.
    const bool already = TemplateStates::settingOf(m_context.machineCatalogue, policy) == *setting;
    if (write({{&policy, *setting}}, &why) != kExitOk)
        return m_output.fail(QStringLiteral("%1: %2").arg(policy.name(), why), kExitFailure);
    const QList<RegChange> changes = PolicyWriter::changes(policy, *setting);
    if (m_output.json()) {
        QJsonArray lines;
        for (const RegChange& change : changes)
            lines.append(changeLine(change));
        m_output.printJson(QJsonObject{{QStringLiteral("entry"), json(m_context, policy)},
                                       {QStringLiteral("state"), policyStateText(state)},
                                       {QStringLiteral("changed"), !already},
                                       {QStringLiteral("changes"), lines},
                                       {QStringLiteral("restartNeeded"), m_context.restartNeeded}});
        return kExitOk;
    }
    m_output.out() << policy.name() << ": " << (already ? "already " : "") << policyStateText(state)
                   << Qt::endl;
    for (const RegChange& change : changes)
        if (change.mark != RegChange::Mark::None || change.kind == RegChange::Kind::SetValue)
            m_output.out() << "  " << changeLine(change) << Qt::endl;
    return kExitOk;
}

QList<const PolicyInstance*> CtlTemplates::configured(const ProgramContext& context) {
    QList<const PolicyInstance*> policies;
    for (const StoredPolicy& stored : TemplateStates::read(context.machineCatalogue, context.templates))
        if (stored.policy)
            policies.append(stored.policy);
    return policies;
}

int CtlTemplates::unset(const QList<const PolicyInstance*>& policies, bool all, QJsonArray* changes) {
    QList<std::pair<const PolicyInstance*, PolicySetting>> settings;
    QList<PolicyState> before;
    for (const PolicyInstance* policy : policies) {
        settings.append({policy, PolicySetting{}});
        before.append(TemplateStates::settingOf(m_context.machineCatalogue, *policy).state);
    }
    QString why;
    if (write(settings, &why) != kExitOk)
        return m_output.fail(why, kExitFailure);
    QJsonArray own;
    QJsonArray& list = changes ? *changes : own;
    for (qsizetype i = 0; i < policies.size(); ++i) {
        list.append(QJsonObject{{QStringLiteral("policy"), policies[i]->name()},
                                {QStringLiteral("action"), QStringLiteral("notConfigured")},
                                {QStringLiteral("before"), policyStateText(before[i])}});
        if (m_output.json() || (all && before[i] == PolicyState::NotConfigured))
            continue;
        m_output.out() << policies[i]->name() << ": not configured ("
                       << (before[i] == PolicyState::NotConfigured
                               ? QStringLiteral("it was not set")
                               : QStringLiteral("was %1").arg(policyStateText(before[i])))
                       << ")" << Qt::endl;
    }
    if (m_output.json() && !changes)
        m_output.printJson(QJsonObject{{QStringLiteral("changes"), own}});
    return kExitOk;
}

int CtlTemplates::show(const PolicyInstance& policy) {
    if (m_output.json()) {
        m_output.printJson(QJsonObject{{QStringLiteral("entry"), json(m_context, policy)}});
        return kExitOk;
    }
    const TemplateSet& set = *m_context.templates;
    const AdmxPolicy& definition = *policy.policy;
    const PolicySetting working = TemplateStates::settingOf(m_context.workingCatalogue, policy);
    const PolicySetting machine = TemplateStates::settingOf(m_context.machineCatalogue, policy);
    QTextStream& out = m_output.out();
    out << "Policy: " << policy.name() << Qt::endl;
    out << "Name: " << set.displayName(policy) << Qt::endl;
    out << "Category: " << set.categoryPath(policy).join(QLatin1Char('/')) << Qt::endl;
    out << "Template: " << policy.file->admx.path << " (" << policy.templateNamespace() << ")" << Qt::endl;
    out << "Class: " << policy.scopeName() << " (" << policy.hiveName() << ")" << Qt::endl;
    out << "Key: " << definition.key << Qt::endl;
    if (!definition.valueName.isEmpty())
        out << "Value name: " << definition.valueName << Qt::endl;
    out << "Supported on: " << set.supportedOnText(policy) << Qt::endl;
    out << "Explain: " << set.explainText(policy) << Qt::endl;
    out << "Tavimor Settings: " << policyStateText(working.state) << Qt::endl;
    out << "Current Machine Settings: " << policyStateText(machine.state) << Qt::endl;
    for (qsizetype i = 0; i < definition.elements.size(); ++i) {
        const AdmxElement& e = definition.elements[i];
        const auto value = [&](const PolicySetting& setting) {
            return setting.state == PolicyState::Enabled
                       ? PolicyValues::display(set, policy, i, setting.values.value(i))
                       : QStringLiteral("-");
        };
        out << "Element " << e.id << " (" << PolicyValues::kindName(e.kind) << ", "
            << typeName(e.registryType())
            << (e.valueName.isEmpty() ? QString() : QStringLiteral(", ") + e.valueName)
            << (e.required ? QStringLiteral(", required") : QString()) << "): " << value(working) << " / "
            << value(machine) << Qt::endl;
    }
    BackendPolicyView view(m_context.registry.backend());
    const PolicyReading reading = PolicyReader::read(view, policy);
    if (reading.setting.state == PolicyState::Unread)
        out << "In the registry: not read: " << reading.unreadReason << Qt::endl;
    else if (reading.found.isEmpty())
        out << "In the registry: nothing" << Qt::endl;
    for (const QString& line : reading.found)
        out << "In the registry: " << line << Qt::endl;
    return kExitOk;
}

} // namespace tavimor
