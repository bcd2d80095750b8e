// SPDX-License-Identifier: GPL-3.0-or-later
#include "TemplateTree.h"

#include "catalogue/ProgramContext.h"
#include "catalogue/TemplateStates.h"

#include <algorithm>

namespace tavimor {

namespace {

const QLatin1String kNodePrefix("template:");
const QLatin1String kPolicyPrefix("policy:");
// Category names may hold any printable character, a unit separator no one types.
constexpr QChar kSeparator(0x1f);

QString nodeTag(const PolicyInstance& policy, const QStringList& path, qsizetype depth) {
    QString tag = kNodePrefix + policy.scopeName();
    for (qsizetype i = 0; i < depth; ++i)
        tag += kSeparator + path[i];
    return tag;
}

void sortNodes(QList<TemplateNode>& nodes) {
    std::sort(nodes.begin(), nodes.end(), [](const TemplateNode& a, const TemplateNode& b) {
        return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });
    for (TemplateNode& node : nodes)
        sortNodes(node.children);
}

} // namespace

QString TemplateTree::scopeTitle(bool user) {
    return user ? tr("User Configuration") : tr("Computer Configuration");
}

QList<TemplateNode> TemplateTree::nodes(const ProgramContext& context) {
    QList<TemplateNode> roots;
    if (!context.templates)
        return roots;
    for (const bool user : {false, true}) {
        TemplateNode root{
            scopeTitle(user), kNodePrefix + (user ? QStringLiteral("User") : QStringLiteral("Machine")), {}};
        bool any = false;
        for (const PolicyInstance& policy : context.templates->policies()) {
            if ((policy.scope == PolicyClass::User) != user)
                continue;
            any = true;
            const QStringList path = context.templates->categoryPath(policy);
            TemplateNode* node = &root;
            for (qsizetype depth = 0; depth < path.size(); ++depth) {
                auto child = std::find_if(node->children.begin(), node->children.end(),
                                          [&](const TemplateNode& n) { return n.name == path[depth]; });
                if (child == node->children.end()) {
                    node->children.append({path[depth], nodeTag(policy, path, depth + 1), {}});
                    child = node->children.end() - 1;
                }
                node = &*child;
            }
        }
        if (any) {
            sortNodes(root.children);
            roots.append(root);
        }
    }
    return roots;
}

bool TemplateTree::isNodeTag(const QString& tag) {
    return tag.startsWith(kNodePrefix);
}

QString TemplateTree::rowTag(const PolicyInstance& policy) {
    return kPolicyPrefix + policy.name();
}

ListRow TemplateTree::policyRow(const ProgramContext& context, const PolicyInstance& policy) {
    return {context.templates->displayName(policy),
            rowTag(policy),
            policyStateText(TemplateStates::settingOf(context.workingCatalogue, policy).state),
            policyStateText(TemplateStates::settingOf(context.machineCatalogue, policy).state),
            QString(),
            false};
}

QList<ListRow> TemplateTree::rows(const ProgramContext& context, const QString& tag) {
    QList<ListRow> categories;
    QList<ListRow> policies;
    if (!context.templates || !isNodeTag(tag))
        return categories;
    const QStringList wanted = tag.mid(kNodePrefix.size()).split(kSeparator);
    const qsizetype depth = wanted.size() - 1;
    for (const PolicyInstance& policy : context.templates->policies()) {
        if (policy.scopeName() != wanted.first())
            continue;
        const QStringList path = context.templates->categoryPath(policy);
        if (path.size() < depth || path.mid(0, depth) != wanted.mid(1))
            continue;
        if (path.size() == depth) {
            policies.append(policyRow(context, policy));
            continue;
        }
        const QString child = nodeTag(policy, path, depth + 1);
        if (std::none_of(categories.cbegin(), categories.cend(),
                         [&](const ListRow& row) { return row.tag == child; }))
            categories.append({path[depth], child, QString(), QString(), QString(), false});
    }
    std::sort(categories.begin(), categories.end(), [](const ListRow& a, const ListRow& b) {
        return a.text.compare(b.text, Qt::CaseInsensitive) < 0;
    });
    return categories + policies;
}

QList<ListRow> TemplateTree::matchingRows(const ProgramContext& context, const QString& text) {
    QList<ListRow> found;
    const QString wanted = text.trimmed();
    if (!context.templates || wanted.isEmpty())
        return found;
    const TemplateSet& set = *context.templates;
    const auto holds = [&](const QString& place) {
        return place.contains(wanted, Qt::CaseInsensitive);
    };
    for (const PolicyInstance& policy : set.policies()) {
        const AdmxPolicy& definition = *policy.policy;
        bool match = holds(set.displayName(policy)) || holds(set.explainText(policy)) ||
                     holds(definition.key) || holds(definition.valueName) || holds(definition.name);
        for (const AdmxElement& element : definition.elements)
            match = match || holds(element.key) || holds(element.valueName);
        if (!match)
            continue;
        ListRow row = policyRow(context, policy);
        row.text += QStringLiteral(" (") + placeOf(set, policy) + QLatin1Char(')');
        found.append(row);
    }
    return found;
}

QString TemplateTree::placeOf(const TemplateSet& set, const PolicyInstance& policy) {
    QStringList where = set.categoryPath(policy);
    where.prepend(scopeTitle(policy.scope == PolicyClass::User));
    return where.join(QLatin1Char('/'));
}

const PolicyInstance* TemplateTree::policyOf(const ProgramContext& context, const QString& rowTag) {
    if (!context.templates || !rowTag.startsWith(kPolicyPrefix))
        return nullptr;
    const QList<const PolicyInstance*> found =
        context.templates->findByName(rowTag.mid(kPolicyPrefix.size()));
    return found.size() == 1 ? found.first() : nullptr;
}

} // namespace tavimor
