// SPDX-License-Identifier: GPL-3.0-or-later
#include "TemplateTreeItems.h"

#include <QApplication>
#include <QStyle>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace tavimor {

namespace {

void addChildren(QTreeWidgetItem* parent, const QList<TemplateNode>& nodes, int role, const QIcon& icon) {
    for (const TemplateNode& node : nodes) {
        auto* item = new QTreeWidgetItem(parent, {node.name});
        item->setIcon(0, icon);
        item->setData(0, role, node.tag);
        addChildren(item, node.children, role, icon);
    }
}

} // namespace

void addTemplateItems(QTreeWidget* tree, const QList<TemplateNode>& nodes, int role) {
    // The style reads each of its icons in every size it has: no templates, no cost at start.
    if (nodes.isEmpty())
        return;
    const QIcon computer = QApplication::style()->standardIcon(QStyle::SP_ComputerIcon);
    const QIcon user = QApplication::style()->standardIcon(QStyle::SP_DirHomeIcon);
    const QIcon folder = QApplication::style()->standardIcon(QStyle::SP_DirIcon);
    for (const TemplateNode& node : nodes) {
        auto* root = new QTreeWidgetItem(tree, {node.name});
        root->setIcon(0, node.tag.endsWith(QLatin1String("User")) ? user : computer);
        root->setData(0, role, node.tag);
        addChildren(root, node.children, role, folder);
    }
}

QTreeWidgetItem* templateItem(QTreeWidget* tree, const QString& tag, int role) {
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        if ((*it)->data(0, role).toString() == tag)
            return *it;
    return nullptr;
}

} // namespace tavimor
