// SPDX-License-Identifier: GPL-3.0-or-later
#include "TemplateSet.h"

#include <QSet>

namespace tavimor {

namespace {

// Parents deeper than this are a loop in a broken set, not a real tree.
constexpr int kMaxCategoryDepth = 64;

QString referenceName(const QString& raw) {
    // "$(string.ID)" -> "ID"; "" for any other text. No regular expression: it runs for every text.
    if (raw.startsWith(QLatin1String("$(string.")) && raw.endsWith(QLatin1Char(')')))
        return raw.mid(9, raw.size() - 10);
    return QString();
}

} // namespace

QString PolicyInstance::hiveName() const {
    return scope == PolicyClass::User ? QStringLiteral("HKEY_CURRENT_USER")
                                      : QStringLiteral("HKEY_LOCAL_MACHINE");
}

QString PolicyInstance::scopeName() const {
    return scope == PolicyClass::User ? QStringLiteral("User") : QStringLiteral("Machine");
}

QString PolicyInstance::name() const {
    QString name = file->admx.targetPrefix + QLatin1Char(':') + policy->name;
    if (policy->policyClass == PolicyClass::Both)
        name.prepend(scope == PolicyClass::User ? QLatin1String("user/") : QLatin1String("machine/"));
    return name;
}

QString TemplateSet::pathOf(const QString& templateNamespace) const {
    for (const auto& loaded : m_files)
        if (loaded->admx.targetNamespace == templateNamespace)
            return loaded->admx.path;
    return QString();
}

void TemplateSet::add(TemplateFile file) {
    if (const QString loaded = pathOf(file.admx.targetNamespace); !loaded.isEmpty()) {
        m_problems.append({file.admx.path,
                           QStringLiteral("its namespace %1 is loaded from %2 already; this copy is not used")
                               .arg(file.admx.targetNamespace, loaded),
                           false});
        return;
    }
    m_files.push_back(std::make_unique<TemplateFile>(std::move(file)));
}

void TemplateSet::finish() {
    m_policies.clear();
    m_byKey.clear();
    for (const auto& file : m_files) {
        const AdmxFile& admx = file->admx;
        for (qsizetype i = 0; i < admx.categories.size(); ++i)
            m_categories.insert(keyOf(admx.targetNamespace, admx.categories[i].name), {file.get(), i});
        for (qsizetype i = 0; i < admx.supportedOn.size(); ++i)
            m_supportedOn.insert(keyOf(admx.targetNamespace, admx.supportedOn[i].name), {file.get(), i});
        for (const AdmxPolicy& policy : admx.policies) {
            for (const PolicyClass scope : {PolicyClass::Machine, PolicyClass::User}) {
                if (policy.policyClass != PolicyClass::Both && policy.policyClass != scope)
                    continue;
                const QString key = keyOf(admx.targetNamespace, policy.name) + QChar(int(scope) + 1);
                // A second policy of the same name in one file cannot be told apart; the first stays.
                if (m_byKey.contains(key))
                    continue;
                m_byKey.insert(key, m_policies.size());
                m_policies.append({file.get(), &policy, scope});
            }
        }
    }
}

QString TemplateSet::text(const TemplateFile& file, const QString& raw) {
    const QString id = referenceName(raw);
    if (id.isEmpty())
        return raw;
    const auto found = file.adml.strings.constFind(id);
    return found == file.adml.strings.cend() ? raw : *found;
}

TemplateSet::Found TemplateSet::resolve(const QHash<QString, Found>& index, const TemplateFile& file,
                                        const QString& ref) const {
    const qsizetype colon = ref.indexOf(QLatin1Char(':'));
    QString space = file.admx.targetNamespace;
    if (colon >= 0) {
        const auto found = file.admx.usings.constFind(ref.left(colon));
        if (found == file.admx.usings.cend())
            return {};
        space = *found;
    }
    return index.value(keyOf(space, colon >= 0 ? ref.mid(colon + 1) : ref));
}

QString TemplateSet::supportedOnText(const PolicyInstance& policy) const {
    const QString& ref = policy.policy->supportedOn;
    const Found found = resolve(m_supportedOn, *policy.file, ref);
    if (!found.file)
        return ref;
    return text(*found.file, found.file->admx.supportedOn[found.index].displayName);
}

QStringList TemplateSet::categoryPath(const PolicyInstance& policy) const {
    QStringList path;
    const TemplateFile* file = policy.file;
    QString ref = policy.policy->parentCategory;
    for (int depth = 0; !ref.isEmpty() && depth < kMaxCategoryDepth; ++depth) {
        const Found found = resolve(m_categories, *file, ref);
        if (!found.file) {
            path.prepend(ref);
            break;
        }
        const AdmxCategory& category = found.file->admx.categories[found.index];
        path.prepend(text(*found.file, category.displayName));
        file = found.file;
        ref = category.parentCategory;
    }
    return path;
}

QList<PresentationControl> TemplateSet::presentation(const PolicyInstance& policy) const {
    const QString& raw = policy.policy->presentation;
    if (!raw.startsWith(QLatin1String("$(presentation.")) || !raw.endsWith(QLatin1Char(')')))
        return {};
    return policy.file->adml.presentations.value(raw.mid(15, raw.size() - 16));
}

const PolicyInstance* TemplateSet::find(const QString& templateNamespace, const QString& name,
                                        PolicyClass scope) const {
    const auto found = m_byKey.constFind(keyOf(templateNamespace, name) + QChar(int(scope) + 1));
    return found == m_byKey.cend() ? nullptr : &m_policies[*found];
}

QList<const PolicyInstance*> TemplateSet::findByName(const QString& given) const {
    QString name = given;
    std::optional<PolicyClass> scope;
    if (name.startsWith(QLatin1String("machine/"), Qt::CaseInsensitive)) {
        scope = PolicyClass::Machine;
        name = name.mid(8);
    } else if (name.startsWith(QLatin1String("user/"), Qt::CaseInsensitive)) {
        scope = PolicyClass::User;
        name = name.mid(5);
    }
    const qsizetype colon = name.indexOf(QLatin1Char(':'));
    if (colon <= 0)
        return {};
    const QString prefix = name.left(colon);
    const QString policyName = name.mid(colon + 1);
    QList<const PolicyInstance*> found;
    for (const Qt::CaseSensitivity cs : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
        for (const PolicyInstance& policy : m_policies) {
            if (policy.file->admx.targetPrefix.compare(prefix, Qt::CaseInsensitive) == 0 &&
                policy.policy->name.compare(policyName, cs) == 0 && (!scope || policy.scope == *scope))
                found.append(&policy);
        }
        if (!found.isEmpty())
            break;
    }
    return found;
}

QStringList TemplateSet::unresolvedReferences() const {
    QStringList missing;
    QSet<QString> seen;
    const auto note = [&](const TemplateFile& file, int line, const char* kind, const QString& ref) {
        const QString text =
            QStringLiteral("%1: line %2: %3 %4").arg(file.admx.path).arg(line).arg(QLatin1String(kind), ref);
        if (!seen.contains(text)) {
            seen.insert(text);
            missing.append(text);
        }
    };
    for (const auto& file : m_files) {
        for (const AdmxCategory& category : file->admx.categories)
            if (!category.parentCategory.isEmpty() &&
                !resolve(m_categories, *file, category.parentCategory).file)
                note(*file, category.line, "category", category.parentCategory);
        for (const AdmxPolicy& policy : file->admx.policies) {
            if (!policy.parentCategory.isEmpty() && !resolve(m_categories, *file, policy.parentCategory).file)
                note(*file, policy.line, "category", policy.parentCategory);
            if (!policy.supportedOn.isEmpty() && !resolve(m_supportedOn, *file, policy.supportedOn).file)
                note(*file, policy.line, "supportedOn", policy.supportedOn);
        }
    }
    return missing;
}

} // namespace tavimor
