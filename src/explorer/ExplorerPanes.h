// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "explorer/SplitterLayout.h"

#include <QObject>

class QTreeWidget;
class QWidget;

namespace tavimor {

class SplitterBar;

// The main window's client area: the tree, the bar between it and the list, and the list, placed in
// twips from the splitter's geometry. Until the user drags the bar, the tree is made as wide as its
// widest shown node; from then on the bar's place is the user's.
class ExplorerPanes : public QObject {
    Q_OBJECT
public:
    // window: the main window, whose outer width the drag rules measure.
    ExplorerPanes(QWidget* window, QWidget* client, QTreeWidget* tree, SplitterBar* bar, QWidget* list);

    const SplitterLayout& splitter() const { return m_splitter; }
    void layOut();
    void fitTreeWidth();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onBarPressed(double x);
    void onBarMoved(double x);
    void onBarReleased();
    int windowWidthTwips() const;

    QWidget* m_window;
    QWidget* m_client;
    QTreeWidget* m_tree;
    SplitterBar* m_bar;
    QWidget* m_list;
    SplitterLayout m_splitter;
    bool m_moved = false;
};

} // namespace tavimor
