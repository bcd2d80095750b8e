// SPDX-License-Identifier: GPL-3.0-or-later
#include "DescriptionList.h"

#include "gui/PaletteColours.h"
#include "gui/Twips.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <algorithm>

namespace tavimor {

namespace {
constexpr int kTagRole = Qt::UserRole;
constexpr int kRestartRole = Qt::UserRole + 1;
constexpr int kPolicyRole = Qt::UserRole + 2;

// Sorted by text as users expect it: "apple" before "Banana".
class ListItem : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        return QString::compare(text(column), other.text(column), Qt::CaseInsensitive) < 0;
    }
};

bool isEnter(const QKeyEvent* event) {
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}
} // namespace

DescriptionList::DescriptionList(QWidget* parent)
    : QTreeWidget(parent) {
    setObjectName(QStringLiteral("lsvDescription"));
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setMouseTracking(true);
    header()->setSectionsClickable(true);
    header()->setStretchLastSection(false);
    connect(this, &QTreeWidget::itemDoubleClicked, this, &DescriptionList::openRequested);
    connect(header(), &QHeaderView::sectionClicked, this, &DescriptionList::sortByColumn);
    setAccessibleName(tr("Entries"));
}

QString DescriptionList::tagOf(const QTreeWidgetItem* row) {
    return row->data(0, kTagRole).toString();
}

bool DescriptionList::isRestartRow(const QTreeWidgetItem* row) {
    return row->data(0, kRestartRole).toBool();
}

void DescriptionList::markRestartRow(QTreeWidgetItem* item) const {
    // Colour alone does not tell everyone: the icon and its text say it too.
    static const QString needsRestart = tr("Takes effect after a restart");
    item->setData(0, kRestartRole, true);
    item->setIcon(0, restartIcon());
    item->setToolTip(0, needsRestart);
    item->setData(0, Qt::AccessibleDescriptionRole, needsRestart);
    const QColor colour = restartColour(palette());
    for (int column = 0; column < 3; ++column)
        item->setForeground(column, colour);
}

QIcon DescriptionList::restartIcon() const {
    // The arrows are holes in a blue ring, so on a selected row's highlight the icon would vanish:
    // there it sits on a disc of the list's background.
    const QIcon plain = style()->standardIcon(QStyle::SP_BrowserReload);
    const int size = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    const QPixmap pixmap = plain.pixmap(QSize(size, size), devicePixelRatio());
    QPixmap selected(pixmap.size());
    selected.setDevicePixelRatio(pixmap.devicePixelRatio());
    selected.fill(Qt::transparent);
    QPainter painter(&selected);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().color(QPalette::Base));
    painter.drawEllipse(QRectF(QPointF(0, 0), pixmap.deviceIndependentSize()).adjusted(1, 1, -1, -1));
    painter.drawPixmap(0, 0, pixmap);
    painter.end();
    QIcon icon;
    icon.addPixmap(pixmap, QIcon::Normal);
    icon.addPixmap(selected, QIcon::Selected);
    return icon;
}

QIcon DescriptionList::blankIcon() const {
    // Other rows get an empty picture of the same size, so all names start in one line.
    const int size = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    QPixmap blank(size, size);
    blank.fill(Qt::transparent);
    return QIcon(blank);
}

void DescriptionList::setColumns() {
    clear();
    setColumnCount(3);
    setHeaderLabels({tr("Name"), tr("Tavimor Settings"), tr("Current Machine Settings")});
    // The widths were chosen for a smaller font than desktops use; a heading is never cut off.
    const int widths[] = {2500, 1500, 2234};
    for (int column = 0; column < 3; ++column) {
        header()->setSectionResizeMode(column, QHeaderView::Interactive);
        setColumnWidth(column,
                       std::max(twipsToPixels(widths[column], this), header()->sectionSizeHint(column)));
    }
}

void DescriptionList::fill(const QList<ListRow>& rows, const QHash<QString, QString>& notes) {
    clear();
    const QIcon blank = blankIcon();
    QList<QTreeWidgetItem*> items;
    for (const ListRow& row : rows) {
        auto* item = new ListItem(QStringList{row.text, row.workingState, row.machineState});
        item->setData(0, kTagRole, row.tag);
        if (!row.machineUnread.isEmpty())
            item->setToolTip(2, tr("Could not be read: %1").arg(row.machineUnread));
        if (const QString note = notes.value(row.tag); !row.tag.isEmpty() && !note.isEmpty()) {
            // The registry's state is not the whole story: Windows sets the value again from its policy.
            item->setText(2, tr("%1 (Local Group Policy)").arg(row.machineState));
            item->setToolTip(2, note);
            item->setData(0, kPolicyRole, note);
        }
        if (row.needsRestart)
            markRestartRow(item);
        else if (!row.tag.isEmpty())
            item->setIcon(0, blank);
        items.append(item);
    }
    addTopLevelItems(items);
    if (m_sorted)
        sortItems(m_sortKey, m_sortOrder);
}

void DescriptionList::sortByColumn(int column) {
    m_sortKey = column;
    m_sortOrder = m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    m_sorted = true;
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(column, m_sortOrder);
    sortItems(column, m_sortOrder);
}

void DescriptionList::selectPosition(int position) {
    if (position < 1 || position > topLevelItemCount())
        return;
    QTreeWidgetItem* row = topLevelItem(position - 1);
    setCurrentItem(row);
    scrollToItem(row);
}

QTreeWidgetItem* DescriptionList::selectedRow() const {
    const QList<QTreeWidgetItem*> rows = selectedItems();
    return rows.isEmpty() ? nullptr : rows.first();
}

QString DescriptionList::hintAt(const QPoint& viewportPos) const {
    const QTreeWidgetItem* row = itemAt(viewportPos);
    if (!row)
        return {};
    if (const QString policy = row->data(0, kPolicyRole).toString(); !policy.isEmpty())
        return policy;
    if (row->text(0).isEmpty() || !isRestartRow(row))
        return tr("Double Click to change the settings.");
    return tr("Options in Red Color will get activated only after a restart of the system.");
}

void DescriptionList::keyPressEvent(QKeyEvent* event) {
    if (isEnter(event)) {
        m_enterPressed = true;
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void DescriptionList::keyReleaseEvent(QKeyEvent* event) {
    // Only an Enter pressed here opens the row, not the release of one that closed a dialog.
    if (isEnter(event) && m_enterPressed && !event->isAutoRepeat()) {
        m_enterPressed = false;
        emit openRequested();
        return;
    }
    QTreeWidget::keyReleaseEvent(event);
}

void DescriptionList::changeEvent(QEvent* event) {
    QTreeWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        for (int i = 0; i < topLevelItemCount(); ++i)
            if (isRestartRow(topLevelItem(i)))
                markRestartRow(topLevelItem(i));
}

void DescriptionList::mouseMoveEvent(QMouseEvent* event) {
    QTreeWidget::mouseMoveEvent(event);
    const QString hint = hintAt(event->position().toPoint());
    if (!hint.isEmpty())
        emit hintChanged(hint);
}

} // namespace tavimor
