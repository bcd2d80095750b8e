// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/CatalogueListing.h"

#include <QTreeWidget>

namespace tavimor {

// lsvDescription: the list of sections or entries in report view, with the restart colour (a red
// that reads on the palette's base) and icon, the
// sort order that flips on every column click, and the hint for the row under the pointer.
class DescriptionList : public QTreeWidget {
    Q_OBJECT
public:
    explicit DescriptionList(QWidget* parent = nullptr);

    void setColumns();
    // Replaces the rows; the last chosen sort stays on. notes: what the target's own Group Policy
    // sets of an entry, by its tag.
    void fill(const QList<ListRow>& rows, const QHash<QString, QString>& notes = {});
    void sortByColumn(int column);
    // Selects the row at a position counted from 1; a position beyond the rows selects nothing.
    void selectPosition(int position);
    QTreeWidgetItem* selectedRow() const;
    // The hint for the row at a point of the viewport; "" over no row.
    QString hintAt(const QPoint& viewportPos) const;

    static QString tagOf(const QTreeWidgetItem* row);
    static bool isRestartRow(const QTreeWidgetItem* row);

signals:
    // A double click, or Enter pressed and released in the list.
    void openRequested();
    void hintChanged(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void markRestartRow(QTreeWidgetItem* item) const;
    QIcon restartIcon() const;
    QIcon blankIcon() const;

    bool m_sorted = false;
    int m_sortKey = 0;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    bool m_enterPressed = false;
};

} // namespace tavimor
