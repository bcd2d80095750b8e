// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExplorerPanes.h"

#include "explorer/SplitterBar.h"
#include "gui/Twips.h"

#include <QEvent>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace tavimor {

namespace {
constexpr int kWidestTree = 4500; // twips
} // namespace

ExplorerPanes::ExplorerPanes(QWidget* window, QWidget* client, QTreeWidget* tree, SplitterBar* bar,
                             QWidget* list)
    : QObject(window)
    , m_window(window)
    , m_client(client)
    , m_tree(tree)
    , m_bar(bar)
    , m_list(list) {
    connect(m_bar, &SplitterBar::pressed, this, &ExplorerPanes::onBarPressed);
    connect(m_bar, &SplitterBar::moved, this, &ExplorerPanes::onBarMoved);
    connect(m_bar, &SplitterBar::released, this, &ExplorerPanes::onBarReleased);
    connect(m_tree, &QTreeWidget::itemExpanded, this, &ExplorerPanes::fitTreeWidth);
    m_client->installEventFilter(this);
}

bool ExplorerPanes::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_client && event->type() == QEvent::Resize)
        layOut();
    return QObject::eventFilter(watched, event);
}

void ExplorerPanes::layOut() {
    const SplitterLayout::Geometry& g = m_splitter.geometry();
    const int height = m_client->height();
    m_tree->setGeometry(twipsToPixels(g.treeLeft, m_window), 0, twipsToPixels(g.treeWidth, m_window), height);
    m_bar->setGeometry(twipsToPixels(g.barLeft, m_window), 0, twipsToPixels(g.barWidth, m_window), height);
    // The list fills the client up to its right edge until the bar is dragged; from then on it
    // keeps the margin a release leaves to the window's outer right edge.
    const int listLeft = twipsToPixels(g.listLeft, m_window);
    const int listWidth = m_moved
                              ? twipsToPixels(windowWidthTwips() - g.listLeft - SplitterLayout::kRightMargin -
                                                  SplitterLayout::kListMargin,
                                              m_window)
                              : m_client->width() - listLeft;
    m_list->setGeometry(listLeft, 0, qMax(0, qMin(listWidth, m_client->width() - listLeft)), height);
    m_bar->raise();
}

void ExplorerPanes::fitTreeWidth() {
    // Until the user moves the bar, the tree is made wide enough for its longest section name.
    if (m_moved)
        return;
    int widest = 0;
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it) {
        // Only what shows counts: the templates' categories open below collapsed roots.
        int depth = 1;
        bool shown = true;
        for (const QTreeWidgetItem* up = (*it)->parent(); up; up = up->parent()) {
            ++depth;
            shown = shown && up->isExpanded();
        }
        if (!shown)
            continue;
        widest = qMax(widest, depth * m_tree->indentation() + m_tree->iconSize().width() +
                                  m_tree->fontMetrics().horizontalAdvance((*it)->text(0)));
    }
    // Deep template categories do not push the list away; the bar moves for them.
    const int needed = qMin(pixelsToTwips(widest + 2 * m_tree->frameWidth() + 16, m_window), kWidestTree);
    SplitterLayout::Geometry g;
    if (needed > g.treeWidth) {
        g.treeWidth = needed;
        g.barLeft = needed - 15;
        g.listLeft = g.barLeft + g.barWidth + 15;
    }
    m_splitter = SplitterLayout(g);
    layOut();
}

int ExplorerPanes::windowWidthTwips() const {
    return pixelsToTwips(m_window->frameGeometry().width(), m_window);
}

void ExplorerPanes::onBarPressed(double x) {
    m_moved = true;
    m_splitter.press(x);
}

void ExplorerPanes::onBarMoved(double x) {
    switch (m_splitter.move(x, windowWidthTwips())) {
    case SplitterLayout::MoveResult::Moved:
        m_bar->move(twipsToPixels(m_splitter.geometry().barLeft, m_window), 0);
        break;
    case SplitterLayout::MoveResult::Released:
        layOut();
        break;
    case SplitterLayout::MoveResult::Ignored:
        break;
    }
}

void ExplorerPanes::onBarReleased() {
    m_splitter.release(windowWidthTwips());
    layOut();
}

} // namespace tavimor
