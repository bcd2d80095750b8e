// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmRegistryExplorer.h"

#include "base/Clock.h"
#include "base/ErrorHandler.h"
#include "catalogue/CatalogueListing.h"
#include "catalogue/EntryFilter.h"
#include "catalogue/Password.h"
#include "catalogue/ProgramContext.h"
#include "catalogue/RegistrySync.h"
#include "catalogue/ReportPage.h"
#include "catalogue/TemplateTree.h"
#include "explorer/DescriptionList.h"
#include "explorer/ExplorerPanes.h"
#include "explorer/ExplorerStatusBar.h"
#include "explorer/FilterBar.h"
#include "explorer/SplitterBar.h"
#include "explorer/TemplateTreeItems.h"
#include "explorer/TreeIcons.h"
#include "gui/ProgramWindows.h"
#include "registry/TargetText.h"
#include "settings/SettingsStore.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenuBar>
#include <QSessionManager>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTreeWidget>

namespace tavimor {

namespace {
constexpr int kTagRole = Qt::UserRole;

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
    setWindowTitle(targetCaption(QLatin1String(kAppTitle), context.target));
    setWindowIcon(treeIcon(8));
    createControls();
    createMenus();
    m_files.Startup(commandLine);
    sayUnreadOnce(m_context);
}

frmRegistryExplorer::~frmRegistryExplorer() = default;

const SplitterLayout& frmRegistryExplorer::splitter() const {
    return m_panes->splitter();
}

void frmRegistryExplorer::createControls() {
    m_client = new QWidget(this);
    setCentralWidget(m_client);

    m_tree = new QTreeWidget(m_client);
    m_tree->setObjectName(QStringLiteral("trvMain"));
    m_tree->setHeaderHidden(true);
    m_tree->setIconSize(QSize(16, 16));
    // A node chosen with the mouse or the arrow keys shows its rows; clicking the chosen node again
    // shows them afresh.
    m_tree->setAccessibleName(tr("Sections"));
    // Choosing a node ends a filter, so the list shows that node's rows.
    connect(m_tree, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* node) {
        endFilter();
        FillList(tagOf(node));
    });
    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* node) {
        endFilter();
        if (node)
            FillList(tagOf(node));
    });

    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] { filterBar()->open(); });

    m_list = new DescriptionList(m_client);
    connect(m_list, &DescriptionList::openRequested, this, &frmRegistryExplorer::openSelectedRow);
    connect(m_list, &DescriptionList::hintChanged, this,
            [this](const QString& hint) { m_status->setHint(hint); });

    m_panes = new ExplorerPanes(this, m_client, m_tree, new SplitterBar(m_client), m_list);
    m_tree->viewport()->installEventFilter(this);

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
    QMenu* file = menuBar()->addMenu(tr("File"));
    file->setObjectName(QStringLiteral("mnuApplication"));
    const QStringList fileItems = {tr("Open"),           tr("Save"),          tr("Save As"),
                                   tr("Report As HTML"), QStringLiteral("-"), tr("Refresh"),
                                   tr("Set Password"),   tr("Exit")};
    for (int i = 0; i < fileItems.size(); ++i) {
        QAction* item =
            fileItems[i] == QLatin1String("-") ? file->addSeparator() : file->addAction(fileItems[i]);
        item->setObjectName(QStringLiteral("mnuSubApplication%1").arg(i));
        connect(item, &QAction::triggered, this, [this, i] { fileCommand(i); });
    }
    file->actions().at(0)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    file->actions().at(1)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    // Beside Open, outside the numbered items: another registry, not another settings file.
    auto* registry = new QAction(tr("Open Registry..."), file);
    registry->setObjectName(QStringLiteral("mnuOpenRegistry"));
    registry->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    file->insertAction(file->actions().at(1), registry);
    connect(registry, &QAction::triggered, this, &frmRegistryExplorer::openRegistry);
    auto* templates = new QAction(tr("Template Folders..."), file);
    templates->setObjectName(QStringLiteral("mnuTemplateFolders"));
    file->insertAction(findChild<QAction*>(QStringLiteral("mnuSubApplication5")), templates);
    connect(templates, &QAction::triggered, this, &frmRegistryExplorer::templateFolders);

    m_contextMenu = new QMenu(tr("Context Menu"), this);
    m_contextMenu->setObjectName(QStringLiteral("mnuContextMenu"));
    const QStringList contextItems = {tr("&Generate Report"), tr("&Refresh")};
    for (int i = 0; i < contextItems.size(); ++i) {
        QAction* item = m_contextMenu->addAction(contextItems[i]);
        item->setObjectName(QStringLiteral("mnuSubContextMenu%1").arg(i));
        connect(item, &QAction::triggered, this, [this, i] { contextCommand(i); });
    }

    QMenu* help = menuBar()->addMenu(tr("Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    QAction* topics = help->addAction(tr("Help Topics"));
    topics->setObjectName(QStringLiteral("mnuSubHelp0"));
    connect(topics, &QAction::triggered, this, [this] { m_windows.help(this, QStringLiteral("main")); });
    help->addSeparator()->setObjectName(QStringLiteral("mnuSubHelp1"));
    QAction* about = help->addAction(tr("About %1").arg(QLatin1String(kAppTitle)));
    about->setObjectName(QStringLiteral("mnuSubHelp2"));
    connect(about, &QAction::triggered, this, [this] { m_windows.about(this); });

    // The menu titles carry no mnemonic, so Alt+F and F10 are given here, as desktops expect.
    for (const QKeySequence& keys : {QKeySequence(Qt::ALT | Qt::Key_F), QKeySequence(Qt::Key_F10)}) {
        auto* open = new QShortcut(keys, this);
        connect(open, &QShortcut::activated, this,
                [this, file] { menuBar()->setActiveAction(file->menuAction()); });
    }
}

FilterBar* frmRegistryExplorer::filterBar() {
    // Made when first opened: even hidden, a tool bar reads its style's pictures as it is made.
    if (!m_filter) {
        m_filter = new FilterBar(this);
        addToolBar(Qt::TopToolBarArea, m_filter);
        connect(m_filter, &FilterBar::textChanged, this, [this] { FillList(m_listAddress); });
    }
    return m_filter;
}

void frmRegistryExplorer::endFilter() {
    if (m_filter)
        m_filter->clear();
}

void frmRegistryExplorer::SetColumns() {
    m_list->setColumns();
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
    addTemplateItems(m_tree, TemplateTree::nodes(m_context), kTagRole);
    // No node is chosen yet; without this the tree makes the root current when it takes the focus.
    m_tree->setCurrentItem(nullptr);
    m_panes->fitTreeWidth();
    FillList(QLatin1String(kRootAddress));
    return true;
}

void frmRegistryExplorer::FillList(const QString& address) {
    m_listAddress = address;
    const QString filter = m_filter ? m_filter->text() : QString();
    if (filter.isEmpty() && TemplateTree::isNodeTag(address)) {
        m_list->fill(TemplateTree::rows(m_context, address));
        return;
    }
    QList<ListRow> rows = filter.isEmpty() ? listRows(m_context, address) : matchingRows(m_context, filter);
    const QHash<QString, QString> notes = policyNotes(m_context, rows);
    if (!filter.isEmpty())
        rows += TemplateTree::matchingRows(m_context, filter);
    m_list->fill(rows, notes);
}

void frmRegistryExplorer::RefreshList(const QString& sRegXPath) {
    RefreshCurrentValues(m_context, sRegXPath);
    FillList(m_listAddress);
    m_list->selectPosition(m_selectedItem);
    sayUnreadOnce(m_context);
}

void frmRegistryExplorer::openSelectedRow() {
    QTreeWidgetItem* row = m_list->selectedRow();
    if (!row)
        return;
    m_selectedItem = qint16(m_list->indexOfTopLevelItem(row) + 1);
    if (openTemplateRow(DescriptionList::tagOf(row)))
        return;

    // A row named like a tree node is a section: show its entries, the tree keeps its selection.
    const QList<QTreeWidgetItem*> nodes =
        m_tree->findItems(row->text(0), Qt::MatchExactly | Qt::MatchRecursive);
    if (!nodes.isEmpty()) {
        FillList(tagOf(nodes.first()));
        return;
    }
    const QString address = DescriptionList::tagOf(row);
    if (address.isEmpty())
        return;
    const XmlNode values = m_context.machineCatalogue.selectSingleNode(address + QStringLiteral("/VALUES"));
    const QString datatype =
        values ? values.attribute(QStringLiteral("Datatype")).value_or(QString()).toUpper() : QString();
    if (datatype == QLatin1String("DRIVES")) {
        m_windows.hideDrives();
        return;
    }
    m_windows.editSetting(this, address, DescriptionList::isRestartRow(row),
                          [this](const QString& changed) { RefreshList(changed); });
}

bool frmRegistryExplorer::openTemplateRow(const QString& tag) {
    if (TemplateTree::isNodeTag(tag)) {
        // A category row opens its node, as a section row does.
        if (QTreeWidgetItem* node = templateItem(m_tree, tag, kTagRole)) {
            const QSignalBlocker quiet(m_tree);
            m_tree->setCurrentItem(node);
        }
        FillList(tag);
        return true;
    }
    if (!TemplateTree::policyOf(m_context, tag))
        return false;
    // The editor reads back what it writes: the list only shows the catalogues again.
    m_windows.editPolicy(this, tag, [this](const QString&) {
        FillList(m_listAddress);
        m_list->selectPosition(m_selectedItem);
    });
    return true;
}

void frmRegistryExplorer::templateFolders() {
    if (m_windows.templateFolders(this))
        BuildTree();
}

void frmRegistryExplorer::showHintAt(const QPoint& listViewportPos) {
    const QString hint = m_list->hintAt(listViewportPos);
    if (!hint.isEmpty())
        m_status->setHint(hint);
}

bool frmRegistryExplorer::popUpAt(const QPoint& treeViewportPos) {
    QTreeWidgetItem* node = m_tree->itemAt(treeViewportPos);
    // The report and the refresh of a node are the catalogue's sections'.
    if (!node || TemplateTree::isNodeTag(tagOf(node)))
        return false;
    {
        // The right button selects the node but leaves the list as it is.
        const QSignalBlocker quiet(m_tree);
        m_tree->setCurrentItem(node);
    }
    m_tree->viewport()->update();
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
        // Two empty boxes set the empty password; a cancelled Set Password keeps the old one.
        if (const std::optional<QString> password = m_windows.setPassword(this))
            MyPwdWrite(*password);
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

void frmRegistryExplorer::openRegistry() {
    if (!m_windows.openRegistry(this))
        return;
    setWindowTitle(targetCaption(QLatin1String(kAppTitle), m_context.target));
    BuildTree();
}

void frmRegistryExplorer::GenerateReport(const QString& address) {
    m_report.GenerateReport(address, ReportPage::dateText(m_clock.now()));
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
    const std::optional<QString> restartDialog =
        m_context.settings.read(QStringLiteral("RestartDialog"), QStringLiteral("1"));
    if (!restartDialog)
        m_context.errors.HandleError(kSettingsStoreError, m_context.settings.lastError(),
                                     QStringLiteral("frmRegistryExplorer.Form_Unload"));
    else if (restartDialog->trimmed() == QLatin1String("1") && m_context.restartNeeded)
        m_windows.confirmRestart();
    event->accept();
}

bool frmRegistryExplorer::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_tree->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            popUpAt(mouse->position().toPoint());
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
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
