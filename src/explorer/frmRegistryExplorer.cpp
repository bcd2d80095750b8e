#include "frmRegistryExplorer.h"

#include "base/Clock.h"
#include "catalogue/CatalogueListing.h"
#include "catalogue/Password.h"
#include "catalogue/ProgramContext.h"
#include "catalogue/RegistrySync.h"
#include "explorer/ExplorerStatusBar.h"
#include "explorer/SplitterBar.h"
#include "explorer/TreeIcons.h"
#include "gui/ProgramWindows.h"
#include "gui/Twips.h"
#include "registry/SettingsStore.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QMenuBar>
#include <QSessionManager>
#include <QShortcut>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace tavimor {

namespace {
constexpr int kTagRole = Qt::UserRole;
const QColor kRestartColour(255, 0, 0);

QString tagOf(const QTreeWidgetItem* item) {
    return item->data(0, kTagRole).toString();
}
} // namespace

frmRegistryExplorer::frmRegistryExplorer(ProgramContext& context, const QString& commandLine,
                                         ProgramWindows& windows, Shell& shell, const Clock& clock,
                                         QWidget* parent)
    : QMainWindow(parent)
    , m_context(context)
    , m_windows(windows)
    , m_shell(shell)
    , m_clock(clock)
    , m_files(context, *this)
    , m_report(context, shell) {
    setObjectName(QStringLiteral("frmRegistryExplorer"));
    setWindowTitle(QLatin1String(kAppTitle));
    setWindowIcon(treeIcon(8));
    createControls();
    createMenus();
    m_files.Startup(commandLine);
}

frmRegistryExplorer::~frmRegistryExplorer() = default;

void frmRegistryExplorer::createControls() {
    m_client = new QWidget(this);
    setCentralWidget(m_client);

    m_tree = new QTreeWidget(m_client);
    m_tree->setObjectName(QStringLiteral("trvMain"));
    m_tree->setHeaderHidden(true);
    m_tree->setIconSize(QSize(16, 16));
    connect(m_tree, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* node) { FillList(tagOf(node)); });

    m_list = new QTreeWidget(m_client);
    m_list->setObjectName(QStringLiteral("lsvDescription"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setMouseTracking(true);
    m_list->header()->setSectionsClickable(true);
    m_list->header()->setStretchLastSection(false);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &frmRegistryExplorer::openSelectedRow);
    connect(m_list->header(), &QHeaderView::sectionClicked, this, &frmRegistryExplorer::sortByColumn);

    m_bar = new SplitterBar(m_client);
    connect(m_bar, &SplitterBar::pressed, this, &frmRegistryExplorer::onBarPressed);
    connect(m_bar, &SplitterBar::moved, this, &frmRegistryExplorer::onBarMoved);
    connect(m_bar, &SplitterBar::released, this, &frmRegistryExplorer::onBarReleased);

    // Only now: the filter looks at all of these.
    for (QObject* watched : {static_cast<QObject*>(m_client), static_cast<QObject*>(m_tree->viewport()),
                             static_cast<QObject*>(m_list), static_cast<QObject*>(m_list->viewport())})
        watched->installEventFilter(this);

    m_status = new ExplorerStatusBar(m_clock, this);
    setStatusBar(m_status);

    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, [this] { m_windows.help(this, QStringLiteral("main")); });

    // Logging off or shutting down closes the window the same way as the close box does.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
        if (!close() && manager.allowsInteraction())
            manager.cancel();
    });
}

void frmRegistryExplorer::createMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("mnuApplication"));
    const QStringList fileItems = {
        QStringLiteral("Open"),           QStringLiteral("Save"), QStringLiteral("Save As"),
        QStringLiteral("Report As HTML"), QStringLiteral("-"),    QStringLiteral("Refresh"),
        QStringLiteral("Set Password"),   QStringLiteral("Exit")};
    for (int i = 0; i < fileItems.size(); ++i) {
        QAction* item =
            fileItems[i] == QLatin1String("-") ? file->addSeparator() : file->addAction(fileItems[i]);
        item->setObjectName(QStringLiteral("mnuSubApplication%1").arg(i));
        connect(item, &QAction::triggered, this, [this, i] { fileCommand(i); });
    }
    file->actions().at(0)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    file->actions().at(1)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));

    m_contextMenu = new QMenu(QStringLiteral("Context Menu"), this);
    m_contextMenu->setObjectName(QStringLiteral("mnuContextMenu"));
    const QStringList contextItems = {QStringLiteral("&Generate Report"), QStringLiteral("&Refresh")};
    for (int i = 0; i < contextItems.size(); ++i) {
        QAction* item = m_contextMenu->addAction(contextItems[i]);
        item->setObjectName(QStringLiteral("mnuSubContextMenu%1").arg(i));
        connect(item, &QAction::triggered, this, [this, i] { contextCommand(i); });
    }

    QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    QAction* topics = help->addAction(QStringLiteral("Help Topics"));
    topics->setObjectName(QStringLiteral("mnuSubHelp0"));
    connect(topics, &QAction::triggered, this, [this] { m_windows.help(this, QStringLiteral("main")); });
    help->addSeparator()->setObjectName(QStringLiteral("mnuSubHelp1"));
    QAction* about = help->addAction(QStringLiteral("About Tavimor 4.0"));
    about->setObjectName(QStringLiteral("mnuSubHelp2"));
    connect(about, &QAction::triggered, this, [this] { m_windows.about(this); });
}

void frmRegistryExplorer::SetColumns() {
    m_list->clear();
    m_list->setColumnCount(3);
    m_list->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Tavimor Settings"),
                             QStringLiteral("Current Machine Settings")});
    const int widths[] = {2500, 1500, 2234};
    // A heading wider than its column at this font gets the room it needs, sort arrow included.
    const QFontMetrics metrics = m_list->header()->fontMetrics();
    for (int column = 0; column < 3; ++column)
        m_list->setColumnWidth(column, qMax(twipsToPixels(widths[column], this),
                                            metrics.horizontalAdvance(m_list->headerItem()->text(column)) +
                                                metrics.height() * 2));
}

bool frmRegistryExplorer::BuildTree() {
    m_tree->clear();
    auto* root = new QTreeWidgetItem(m_tree, {QStringLiteral("Tavimor")});
    root->setIcon(0, treeIcon(8));
    root->setData(0, kTagRole, QLatin1String(kRootAddress));
    const QList<SectionInfo> sections = catalogueSections(m_context);
    for (qsizetype s = 0; s < sections.size(); ++s) {
        auto* node = new QTreeWidgetItem(root, {sections[s].name});
        node->setIcon(0, treeIcon(int(s) + 1));
        node->setData(0, kTagRole, sections[s].address);
    }
    root->setExpanded(true);
    fitTreeWidth();
    FillList(QLatin1String(kRootAddress));
    return true;
}

void frmRegistryExplorer::FillList(const QString& address) {
    m_listAddress = address;
    m_list->clear();
    QList<QTreeWidgetItem*> items;
    for (const ListRow& row : listRows(m_context, address)) {
        auto* item = new QTreeWidgetItem({row.text, row.workingState, row.machineState});
        item->setData(0, kTagRole, row.tag);
        if (row.needsRestart)
            for (int column = 0; column < 3; ++column)
                item->setForeground(column, kRestartColour);
        items.append(item);
    }
    m_list->addTopLevelItems(items);
    // Names get the room they need; the column never shrinks below its set width.
    const int nameWidth = m_list->columnWidth(0);
    m_list->resizeColumnToContents(0);
    m_list->setColumnWidth(0, qMax(nameWidth, m_list->columnWidth(0)));
    if (m_sorted)
        m_list->sortItems(m_sortKey, m_sortOrder);
}

void frmRegistryExplorer::RefreshList(const QString& sRegXPath) {
    RefreshCurrentValues(m_context, sRegXPath);
    FillList(m_listAddress);
    if (m_selectedItem >= 1 && m_selectedItem <= m_list->topLevelItemCount()) {
        QTreeWidgetItem* row = m_list->topLevelItem(m_selectedItem - 1);
        m_list->setCurrentItem(row);
        m_list->scrollToItem(row);
    }
}

void frmRegistryExplorer::openSelectedRow() {
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    if (selected.isEmpty())
        return;
    QTreeWidgetItem* row = selected.first();
    m_selectedItem = qint16(m_list->indexOfTopLevelItem(row) + 1);

    // A row named like a tree node is a section: show its entries, the tree keeps its selection.
    const QList<QTreeWidgetItem*> nodes =
        m_tree->findItems(row->text(0), Qt::MatchExactly | Qt::MatchRecursive);
    if (!nodes.isEmpty()) {
        FillList(tagOf(nodes.first()));
        return;
    }
    const QString address = tagOf(row);
    if (address.isEmpty())
        return;
    const XmlNode values = m_context.machineCatalogue.selectSingleNode(address + QStringLiteral("/VALUES"));
    const QString datatype =
        values ? values.attribute(QStringLiteral("Datatype")).value_or(QString()).toUpper() : QString();
    if (datatype == QLatin1String("DRIVES")) {
        m_windows.hideDrives();
        return;
    }
    const bool restart = row->data(0, Qt::ForegroundRole).value<QBrush>().color() == kRestartColour;
    m_windows.editSetting(this, address, restart, [this](const QString& changed) { RefreshList(changed); });
}

void frmRegistryExplorer::sortByColumn(int column) {
    m_sortKey = column;
    m_sortOrder = m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    m_sorted = true;
    m_list->header()->setSortIndicatorShown(true);
    m_list->header()->setSortIndicator(column, m_sortOrder);
    m_list->sortItems(column, m_sortOrder);
}

void frmRegistryExplorer::showHintAt(const QPoint& listViewportPos) {
    const QTreeWidgetItem* row = m_list->itemAt(listViewportPos);
    if (!row)
        return;
    const QVariant colour = row->data(0, Qt::ForegroundRole);
    const bool plain = row->text(0).isEmpty() || !colour.isValid() ||
                       colour.value<QBrush>().color() == palette().color(QPalette::WindowText) ||
                       colour.value<QBrush>().color() == Qt::black;
    m_status->setHint(plain ? QStringLiteral("Double Click to change the settings.")
                            : QStringLiteral("Options in Red Color will get activated only after a restart "
                                             "of the system."));
}

bool frmRegistryExplorer::popUpAt(const QPoint& treeViewportPos) {
    QTreeWidgetItem* node = m_tree->itemAt(treeViewportPos);
    if (!node)
        return false;
    m_tree->setCurrentItem(node);
    m_contextNode = qint16(nodeIndex(node));
    m_contextMenu->popup(m_tree->viewport()->mapToGlobal(treeViewportPos));
    return true;
}

void frmRegistryExplorer::fileCommand(int index) {
    switch (index) {
    case 0:
        m_files.OpenCommand();
        break;
    case 1:
        m_files.SaveCommand();
        break;
    case 2:
        m_files.SaveAsCommand();
        break;
    case 3:
        GenerateReport(QLatin1String(kRootAddress));
        break;
    case 5:
        RefreshList(QLatin1String(kAllEntries));
        break;
    case 6: {
        // The password dialog gives "" when cancelled; a cancelled Set Password keeps the old one.
        const QString password = m_windows.setPassword(this);
        if (!password.isEmpty())
            MyPwdWrite(password);
        break;
    }
    case 7:
        close();
        break;
    default:
        break;
    }
}

void frmRegistryExplorer::contextCommand(int index) {
    const QTreeWidgetItem* node = nodeAt(m_contextNode);
    if (!node)
        return;
    if (index == 0)
        GenerateReport(tagOf(node));
    else if (index == 1)
        RefreshList(tagOf(node) + QStringLiteral("/ENTRY"));
}

void frmRegistryExplorer::GenerateReport(const QString& address) {
    const QDateTime now = m_clock.now();
    const QLocale locale;
    m_report.GenerateReport(address, locale.toString(now.date(), QLocale::LongFormat) + QStringLiteral(", ") +
                                         locale.toString(now.time(), QLocale::ShortFormat));
}

void frmRegistryExplorer::MyPwdWrite(const QString& sPwd) {
    tavimor::MyPwdWrite(m_context, sPwd);
}

void frmRegistryExplorer::closeEvent(QCloseEvent* event) {
    // Logging off may close an already closed window again; the steps run once.
    if (m_closed) {
        event->accept();
        return;
    }
    if (ConfirmPendingChanges(m_context) == 1) {
        event->ignore();
        return;
    }
    m_closed = true;
    const QString restartDialog =
        m_context.settings.read(QStringLiteral("RestartDialog"), QStringLiteral("1"));
    if (restartDialog.trimmed() == QLatin1String("1") && m_context.restartNeeded)
        m_windows.confirmRestart();
    event->accept();
}

bool frmRegistryExplorer::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_client && event->type() == QEvent::Resize) {
        layOutClient();
    } else if (watched == m_tree->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            popUpAt(mouse->position().toPoint());
            return true;
        }
    } else if (watched == m_list->viewport() && event->type() == QEvent::MouseMove) {
        showHintAt(static_cast<QMouseEvent*>(event)->position().toPoint());
    } else if (watched == m_list &&
               (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            // Only an Enter pressed here opens the row, not the release of one that closed a dialog.
            if (event->type() == QEvent::KeyPress)
                m_enterPressed = true;
            else if (m_enterPressed && !key->isAutoRepeat()) {
                m_enterPressed = false;
                openSelectedRow();
            }
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmRegistryExplorer::layOutClient() {
    const SplitterLayout::Geometry& g = m_splitter.geometry();
    const int height = m_client->height();
    m_tree->setGeometry(twipsToPixels(g.treeLeft, this), 0, twipsToPixels(g.treeWidth, this), height);
    m_bar->setGeometry(twipsToPixels(g.barLeft, this), 0, twipsToPixels(g.barWidth, this), height);
    // The list reaches the client's right edge: the frame takes the margin a release leaves.
    const int listLeft = twipsToPixels(g.listLeft, this);
    m_list->setGeometry(listLeft, 0, qMax(0, m_client->width() - listLeft), height);
    m_bar->raise();
}

void frmRegistryExplorer::fitTreeWidth() {
    // Until the user moves the bar, the tree is made wide enough for its longest section name.
    if (m_splitterMoved)
        return;
    int widest = 0;
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it) {
        const int depth = (*it)->parent() ? 2 : 1;
        widest = qMax(widest, depth * m_tree->indentation() + m_tree->iconSize().width() +
                                  m_tree->fontMetrics().horizontalAdvance((*it)->text(0)));
    }
    const int needed = pixelsToTwips(widest + 2 * m_tree->frameWidth() + 16, this);
    SplitterLayout::Geometry g;
    if (needed > g.treeWidth) {
        g.treeWidth = needed;
        g.barLeft = needed - 15;
        g.listLeft = g.barLeft + g.barWidth + 15;
    }
    m_splitter = SplitterLayout(g);
    layOutClient();
}

int frmRegistryExplorer::windowWidthTwips() const {
    return pixelsToTwips(frameGeometry().width(), this);
}

void frmRegistryExplorer::onBarPressed(double x) {
    m_splitterMoved = true;
    m_splitter.press(x);
}

void frmRegistryExplorer::onBarMoved(double x) {
    switch (m_splitter.move(x, windowWidthTwips())) {
    case SplitterLayout::MoveResult::Moved:
        m_bar->move(twipsToPixels(m_splitter.geometry().barLeft, this), 0);
        break;
    case SplitterLayout::MoveResult::Released:
        layOutClient();
        break;
    case SplitterLayout::MoveResult::Ignored:
        break;
    }
}

void frmRegistryExplorer::onBarReleased() {
    m_splitter.release(windowWidthTwips());
    layOutClient();
}

QTreeWidgetItem* frmRegistryExplorer::nodeAt(int index) const {
    QTreeWidgetItem* root = m_tree->topLevelItem(0);
    if (!root || index < 0)
        return nullptr;
    return index == 0 ? root : root->child(index - 1);
}

int frmRegistryExplorer::nodeIndex(const QTreeWidgetItem* node) const {
    return node->parent() ? node->parent()->indexOfChild(const_cast<QTreeWidgetItem*>(node)) + 1 : 0;
}

} // namespace tavimor
