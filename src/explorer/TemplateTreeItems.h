// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/TemplateTree.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace tavimor {

// Adds the templates' nodes to the tree after the sections, collapsed, their tags in role.
void addTemplateItems(QTreeWidget* tree, const QList<TemplateNode>& nodes, int role);
// The node whose tag is tag; nullptr when the tree has none.
QTreeWidgetItem* templateItem(QTreeWidget* tree, const QString& tag, int role);

} // namespace tavimor
