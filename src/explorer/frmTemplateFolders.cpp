// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmTemplateFolders.h"

#include "base/Prompter.h"
#include "catalogue/TemplateLibrary.h"

#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace tavimor {

frmTemplateFolders::frmTemplateFolders(Prompter& prompter, TemplateLibrary& library, const QString& title,
                                       QWidget* parent)
    : QDialog(parent)
    , m_prompter(prompter)
    , m_library(library)
    , m_title(title) {
    setObjectName(QStringLiteral("frmTemplateFolders"));
    setWindowTitle(tr("Template Folders"));
    auto* intro = new QLabel(tr("Administrative Templates are read from these folders: each holds *.admx "
                                "files and a folder of *.adml files per language (en-US, de-DE)."));
    intro->setWordWrap(true);
    m_list = new QListWidget;
    m_list->setObjectName(QStringLiteral("lstFolders"));
    QString why;
    if (const std::optional<QStringList> saved = library.savedFolders(&why)) {
        m_list->addItems(*saved);
        m_ready = true;
    } else {
        prompter.message(why, m_title, MessageIcon::Critical, MessageButtons::Ok);
    }
    const auto button = [this](const QString& caption, const QString& name) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        return b;
    };
    QPushButton* add = button(tr("&Add..."), QStringLiteral("cmdAdd"));
    QPushButton* remove = button(tr("&Remove"), QStringLiteral("cmdRemove"));
    QPushButton* ok = button(tr("OK"), QStringLiteral("cmdOK"));
    QPushButton* cancel = button(tr("Cancel"), QStringLiteral("cmdCancel"));
    ok->setDefault(true);
    ok->setEnabled(m_ready);
    connect(add, &QPushButton::clicked, this, &frmTemplateFolders::addFolder);
    connect(remove, &QPushButton::clicked, this, &frmTemplateFolders::removeFolder);
    connect(ok, &QPushButton::clicked, this, &frmTemplateFolders::cmdOK_Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QGridLayout(this);
    layout->addWidget(intro, 0, 0, 1, 2);
    layout->addWidget(m_list, 1, 0, 3, 1);
    layout->addWidget(add, 1, 1);
    layout->addWidget(remove, 2, 1);
    const QStringList environment = library.environmentFolders();
    if (!environment.isEmpty()) {
        auto* note = new QLabel(
            tr("Also read, from TAVIMOR_TEMPLATES: %1").arg(environment.join(QStringLiteral(", "))));
        note->setObjectName(QStringLiteral("lblEnvironment"));
        note->setWordWrap(true);
        layout->addWidget(note, 4, 0, 1, 2);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons, 5, 0, 1, 2);
    layout->setRowStretch(3, 1);
    resize(560, 300);
}

QStringList frmTemplateFolders::folders() const {
    QStringList list;
    for (int i = 0; i < m_list->count(); ++i)
        list.append(m_list->item(i)->text());
    return list;
}

void frmTemplateFolders::addFolder() {
    FileDialogRequest request;
    request.title = tr("Add a Template Folder");
    request.folder = true;
    const QString folder = m_prompter.openFileName(request);
    if (!folder.isEmpty() && !folders().contains(folder))
        m_list->addItem(folder);
}

void frmTemplateFolders::removeFolder() {
    delete m_list->currentItem();
}

void frmTemplateFolders::cmdOK_Click() {
    QString why;
    QStringList problems;
    if (!m_library.saveFolders(folders(), &why, &problems)) {
        m_prompter.message(why, m_title, MessageIcon::Exclamation, MessageButtons::Ok);
        return;
    }
    if (!problems.isEmpty())
        m_prompter.message(TemplateLibrary::problemsText(problems), m_title, MessageIcon::Exclamation,
                           MessageButtons::Ok);
    accept();
}

} // namespace tavimor
