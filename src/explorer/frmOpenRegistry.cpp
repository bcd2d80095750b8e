// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmOpenRegistry.h"

#include "base/Prompter.h"
#include "catalogue/ProgramContext.h"
#include "catalogue/RegistryChoices.h"
#include "gui/Twips.h"
#include "registry/RegistryTarget.h"
#include "registry/TargetText.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tavimor {

namespace {

constexpr int kTargetRole = Qt::UserRole;

} // namespace

frmOpenRegistry::frmOpenRegistry(Prompter& prompter, const QList<RegistryChoice>& choices,
                                 const QString& current, const QString& home, Open open, QWidget* parent)
    : QDialog(parent)
    , m_prompter(prompter)
    , m_current(current)
    , m_home(home)
    , m_open(std::move(open)) {
    setObjectName(QStringLiteral("frmOpenRegistry"));
    setWindowTitle(tr("Open Registry"));

    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("trvRegistries"));
    m_tree->setHeaderLabels({tr("Registry"), tr("Target")});
    m_tree->setRootIsDecorated(true);
    m_tree->setAccessibleName(tr("Registries"));
    for (const RegistryChoice& choice : choices)
        addChoice(nullptr, choice);
    m_other = new QTreeWidgetItem(m_tree, {tr("Other...")});
    m_other->setToolTip(0, tr("Any target tavimorctl --target takes, typed below or browsed to"));
    m_tree->expandAll();
    m_tree->header()->resizeSection(0, twipsToPixels(4500, this));

    auto* label = new QLabel(tr("&Target:"), this);
    m_target = new QLineEdit(this);
    m_target->setObjectName(QStringLiteral("txtTarget"));
    m_target->setPlaceholderText(tr("e.g. wine:~/.wine, windows:/mnt/win?user=NAME, pol:DIR"));
    label->setBuddy(m_target);
    auto* browse = new QPushButton(tr("&Browse"), this);
    browse->setObjectName(QStringLiteral("cmdBrowse"));
    auto* menu = new QMenu(browse);
    menu->addAction(tr("&Folder..."), this, [this] { this->browse(true); })
        ->setObjectName(QStringLiteral("mnuBrowseFolder"));
    menu->addAction(tr("F&ile..."), this, [this] { this->browse(false); })
        ->setObjectName(QStringLiteral("mnuBrowseFile"));
    browse->setMenu(menu);

    auto* buttons = new QDialogButtonBox(this);
    m_cmdOpen = buttons->addButton(tr("&Open"), QDialogButtonBox::AcceptRole);
    m_cmdOpen->setObjectName(QStringLiteral("cmdOpen"));
    m_cmdOpen->setDefault(true);
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &frmOpenRegistry::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) { choose(item); });
    connect(m_tree, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        if (item->data(0, kTargetRole).isValid() && !item->isDisabled()) {
            choose(item);
            accept();
        }
    });
    connect(m_target, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_cmdOpen->setEnabled(!text.trimmed().isEmpty()); });

    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(m_target, 1);
    row->addWidget(browse);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tree, 1);
    layout->addLayout(row);
    layout->addWidget(buttons);
    resize(twipsToPixels(9600, this), twipsToPixels(6600, this));

    m_cmdOpen->setEnabled(false);
    // The registry open now is where the chooser starts.
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it)
        if ((*it)->data(0, kTargetRole).toString() == m_current && (*it)->data(0, kTargetRole).isValid()) {
            m_tree->setCurrentItem(*it);
            break;
        }
}

QTreeWidgetItem* frmOpenRegistry::addChoice(QTreeWidgetItem* parent, const RegistryChoice& choice,
                                            int before) {
    auto* item = new QTreeWidgetItem;
    if (parent)
        parent->addChild(item);
    else if (before >= 0)
        m_tree->insertTopLevelItem(before, item);
    else
        m_tree->addTopLevelItem(item);
    item->setText(0, choice.label);
    if (choice.target) {
        item->setData(0, kTargetRole, *choice.target);
        // The embedded default is the per-user file, which is how it can be typed as well.
        item->setText(1,
                      displayTarget(choice.target->isEmpty() ? QStringLiteral("file:") + defaultRegistryFile()
                                                             : *choice.target,
                                    m_home));
        if (*choice.target == m_current)
            item->setText(0, tr("%1 (open now)").arg(choice.label));
    } else {
        QFont bold = item->font(0);
        bold.setBold(true);
        item->setFont(0, bold);
        item->setFlags(item->flags() & ~Qt::ItemIsSelectable);
    }
    if (!choice.problem.isEmpty()) {
        item->setToolTip(0, choice.problem);
        item->setToolTip(1, choice.problem);
        if (choice.target) {
            item->setDisabled(true);
        } else if (choice.children.isEmpty()) {
            item->setText(1, choice.problem);
            item->setForeground(1, palette().brush(QPalette::Disabled, QPalette::Text));
        }
    }
    for (const RegistryChoice& child : choice.children)
        addChoice(item, child);
    return item;
}

void frmOpenRegistry::choose(QTreeWidgetItem* item) {
    if (item == m_other) {
        m_target->clear();
        m_target->setFocus();
    } else if (item && item->data(0, kTargetRole).isValid()) {
        m_target->setText(item->text(1));
    }
}

QString frmOpenRegistry::chosenTarget() const {
    return expandTarget(m_target->text(), m_home);
}

void frmOpenRegistry::browse(bool folder) {
    FileDialogRequest request;
    request.title = folder ? tr("Browse for a Registry Folder") : tr("Browse for a Registry File");
    request.folder = folder;
    request.flags = 4096;
    const QString path = m_prompter.openFileName(request);
    if (!path.isEmpty())
        takeBrowsed(path);
}

void frmOpenRegistry::takeBrowsed(const QString& path) {
    QString error;
    const std::optional<RegistryChoice> choice = browsedChoice(path, m_home, &error);
    if (!choice) {
        m_prompter.message(error, QLatin1String(kAppTitle), MessageIcon::Exclamation, MessageButtons::Ok);
        return;
    }
    QTreeWidgetItem* item = addChoice(nullptr, *choice, m_tree->indexOfTopLevelItem(m_other));
    item->setExpanded(true);
    QTreeWidgetItem* first = item;
    for (QTreeWidgetItemIterator it(item); *it && (*it == item || (*it)->parent()); ++it)
        if ((*it)->data(0, kTargetRole).isValid() && !(*it)->isDisabled()) {
            first = *it;
            break;
        }
    m_tree->setCurrentItem(first);
}

void frmOpenRegistry::accept() {
    const QString target = chosenTarget();
    if (target.isEmpty() && m_target->text().trimmed().isEmpty())
        return;
    if (m_open(target))
        QDialog::accept();
}

} // namespace tavimor
