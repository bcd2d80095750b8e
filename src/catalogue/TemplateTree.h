// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/CatalogueListing.h"

#include <QCoreApplication>

namespace tavimor {

struct PolicyInstance;
class TemplateSet;

// A node of the templates' part of the window's tree: "Computer Configuration" or "User
// Configuration", and below each the categories of its policies, sorted by name.
struct TemplateNode {
    QString name;
    QString tag; // "template:" and the class, then each category name after a unit separator
    QList<TemplateNode> children;
};

// The loaded templates as the window shows them beside the sections. Rows of a node are its
// categories, then its policies with their state in the working and in the machine catalogue; a
// category row's tag is its node's tag, a policy row's is "policy:" and the policy's name.
class TemplateTree {
    Q_DECLARE_TR_FUNCTIONS(TemplateTree)

public:
    // Empty when no template is loaded.
    static QList<TemplateNode> nodes(const ProgramContext& context);
    static bool isNodeTag(const QString& tag);
    static QList<ListRow> rows(const ProgramContext& context, const QString& nodeTag);
    // The policies whose name, explain text, key or value names hold text, any case, each row's
    // text naming its category.
    static QList<ListRow> matchingRows(const ProgramContext& context, const QString& text);
    // The policy of a policy row's tag; nullptr for any other tag.
    static const PolicyInstance* policyOf(const ProgramContext& context, const QString& rowTag);
    static QString rowTag(const PolicyInstance& policy);
    // "Computer Configuration/Mozilla/Firefox/Home page": where the tree shows the policy.
    static QString placeOf(const TemplateSet& set, const PolicyInstance& policy);

private:
    static ListRow policyRow(const ProgramContext& context, const PolicyInstance& policy);
    static QString scopeTitle(bool user);
};

} // namespace tavimor
