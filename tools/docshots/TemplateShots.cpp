// SPDX-License-Identifier: GPL-3.0-or-later
#include "TemplateShots.h"

#include "catalogue/TemplateEdit.h"
#include "catalogue/TemplateLibrary.h"
#include "catalogue/TemplateTree.h"
#include "editors/frmEditPolicy.h"
#include "explorer/ExplorerFixture.h"
#include "explorer/frmTemplateFolders.h"
#include "gui/Twips.h"

#include <QComboBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTableWidget>

using namespace tavimor;
using namespace tavimor::test;

namespace {

const PolicyInstance& policyNamed(const ProgramContext& context, const QString& name) {
    return *TemplateTree::policyOf(context, u"policy:"_s + name);
}

} // namespace

void templateShots(const std::function<void(QWidget&, const QString&)>& save) {
    {
        ExplorerFixture f;
        TemplateLibrary firefox(f.context,
                                QStringLiteral(TAVIMOR_SOURCE_DIR "/tests/templates/data/firefox"));
        firefox.load();
        frmRegistryExplorer& w = f.start();
        // One policy set on the machine, another changed but not applied yet.
        const PolicyInstance& url = policyNamed(f.context, u"machine/firefox:HomepageURL"_s);
        QString why;
        applyPoliciesNow(f.context,
                         {{&url,
                           {PolicyState::Enabled,
                            {{true, 0, u"https://intranet.example"_s, {}, {}}, {true, 1, {}, {}, {}}}}}},
                         &why);
        applyPolicyLater(f.context, policyNamed(f.context, u"machine/firefox:HomepageStartPage"_s),
                         {PolicyState::Disabled, {}});
        showWithOuterSize(&w, 11895, 7935);
        const QString home = u"template:Machine\x1fMozilla\x1f"
                             u"Firefox\x1fHome page"_s;
        QTreeWidgetItem* node = nullptr;
        for (QTreeWidgetItemIterator it(f.tree()); *it; ++it)
            if ((*it)->data(0, Qt::UserRole).toString() == home)
                node = *it;
        if (node) {
            f.tree()->setCurrentItem(node);
            f.tree()->scrollToItem(node);
        }
        save(w, u"templates-category.png"_s);
    }
    {
        ExplorerFixture f;
        TemplateLibrary kiosk(f.context, QStringLiteral(TAVIMOR_SOURCE_DIR "/tools/docshots/kiosk"));
        kiosk.load();
        f.start();
        frmEditPolicy editor(f.context, policyNamed(f.context, u"kiosk:Browser"_s), {});
        editor.findChild<QRadioButton*>(u"optState1"_s)->click();
        for (QPlainTextEdit* banner : editor.findChildren<QPlainTextEdit*>())
            banner->setPlainText(u"Welcome to the city library.\nPlease log off when you leave."_s);
        for (QTableWidget* bookmarks : editor.findChildren<QTableWidget*>()) {
            bookmarks->setRowCount(2);
            const QStringList cells{u"Catalogue"_s, u"https://opac.example"_s, u"Timetable"_s,
                                    u"https://bus.example"_s};
            for (int i = 0; i < cells.size(); ++i)
                bookmarks->setItem(i / 2, i % 2, new QTableWidgetItem(cells[i]));
        }
        editor.resize(860, 720);
        save(editor, u"template-policy-editor.png"_s);

        // Folders as a user keeps them; the dialog only lists them.
        TemplateLibrary kept(f.context, u"/srv/admx/central"_s);
        if (!f.settings.save(u"TemplateFolders"_s,
                             u"/usr/share/tavimor/templates/gnome:/home/ann/admx/firefox"_s))
            return;
        frmTemplateFolders folders(f.prompter, kept, u"Tavimor 4.0"_s);
        folders.findChild<QListWidget*>(u"lstFolders"_s)->setCurrentRow(0);
        save(folders, u"template-folders.png"_s);
    }
}
