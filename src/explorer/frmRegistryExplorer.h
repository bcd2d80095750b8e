// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/CatalogueFiles.h"
#include "explorer/HtmlReport.h"

#include <QMainWindow>

class QMenu;
class QTreeWidget;
class QTreeWidgetItem;

namespace tavimor {

class Clock;
class DescriptionList;
class ExplorerPanes;
class ExplorerStatusBar;
class FilterBar;
class ProgramContext;
class ProgramWindows;
class Shell;
class SplitterLayout;

// The main window: the sections as a tree, the chosen section's entries as a list with their
// state in the working and in the machine catalogue, the menus and the closing steps.
// The menu items are named by index as the program's menus are addressed: mnuSubApplication0 to 7,
// mnuSubContextMenu0 and 1.
class frmRegistryExplorer : public QMainWindow, public CatalogueView {
    Q_OBJECT
public:
    // Runs the catalogue steps of the window's load: commandLine is the program's argument text.
    frmRegistryExplorer(ProgramContext& context, const QString& commandLine, ProgramWindows& windows,
                        Shell& shell, const Clock& clock, QWidget* parent = nullptr);
    ~frmRegistryExplorer() override;

    void SetColumns() override;
    bool BuildTree() override;
    void FillList(const QString& address);
    void RefreshList(const QString& sRegXPath);
    void GenerateReport(const QString& address);
    void MyPwdWrite(const QString& sPwd);

    QString listAddress() const { return m_listAddress; }
    int selectedItemPosition() const { return m_selectedItem; }
    const SplitterLayout& splitter() const;
    CatalogueFiles& catalogueFiles() { return m_files; }
    // The filter box over the list (Ctrl+F), made when first asked for.
    FilterBar* filterBar();

public slots:
    void openSelectedRow();
    void showHintAt(const QPoint& listViewportPos);
    // The pop-up menu for the node at a point of the tree's viewport; false over no node.
    bool popUpAt(const QPoint& treeViewportPos);
    void fileCommand(int index);
    // The registry chooser; on another registry the caption names it and the tree starts afresh.
    void openRegistry();
    // The template folders dialog; on a change the tree starts afresh with the templates loaded.
    void templateFolders();
    void contextCommand(int index);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    // Opens a template category or policy row; false for a row of the catalogue.
    bool openTemplateRow(const QString& tag);
    void createMenus();
    void endFilter();
    QTreeWidgetItem* nodeAt(int index) const;
    int nodeIndex(const QTreeWidgetItem* node) const;

    ProgramContext& m_context;
    ProgramWindows& m_windows;
    Shell& m_shell;
    const Clock& m_clock;
    CatalogueFiles m_files;
    HtmlReport m_report;

    QWidget* m_client = nullptr;
    QTreeWidget* m_tree = nullptr;
    DescriptionList* m_list = nullptr;
    ExplorerStatusBar* m_status = nullptr;
    FilterBar* m_filter = nullptr;
    ExplorerPanes* m_panes = nullptr;
    QMenu* m_contextMenu = nullptr;

    QString m_listAddress = QStringLiteral("TAVIMOR");
    qint16 m_selectedItem = 0;
    qint16 m_contextNode = -1;
    bool m_closed = false;
};

} // namespace tavimor
