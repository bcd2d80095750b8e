// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "registry/TargetDiscovery.h"

#include <QDialog>
#include <functional>

class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace tavimor {

class Prompter;

// The registry chooser: what was found on this machine, the registries opened last, and any target
// the command line takes, typed or browsed to.
class frmOpenRegistry : public QDialog {
    Q_OBJECT
public:
    // Opens a target; false keeps the dialog open (the target could not be opened, and the user
    // has been told why).
    using Open = std::function<bool(const QString& target)>;

    frmOpenRegistry(Prompter& prompter, const QList<RegistryChoice>& choices, const QString& current,
                    const QString& home, Open open, QWidget* parent = nullptr);

    // The target the text box names, "~" expanded.
    QString chosenTarget() const;
    // A folder or file as Browse takes it: listed and chosen, or refused with a message.
    void takeBrowsed(const QString& path);

public slots:
    void accept() override;

private:
    QTreeWidgetItem* addChoice(QTreeWidgetItem* parent, const RegistryChoice& choice, int before = -1);
    void choose(QTreeWidgetItem* item);
    void browse(bool folder);

    Prompter& m_prompter;
    QString m_current;
    QString m_home;
    Open m_open;
    QTreeWidget* m_tree = nullptr;
    QTreeWidgetItem* m_other = nullptr;
    QLineEdit* m_target = nullptr;
    QPushButton* m_cmdOpen = nullptr;
};

} // namespace tavimor
