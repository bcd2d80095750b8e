// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExplorerFixture.h"
#include "catalogue/TemplateLibrary.h"
#include "catalogue/TemplateStates.h"
#include "catalogue/TemplateTree.h"
#include "editors/frmEditPolicy.h"
#include "explorer/FilterBar.h"
#include "grouppolicy/TargetFactory.h"
#include "support/FaultPlace.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QTableWidget>

using namespace tavimor;
using namespace tavimor::test;

namespace {

const QString kFirefox = QStringLiteral(TAVIMOR_SOURCE_DIR "/tests/templates/data/firefox");

struct TemplateWindow : ExplorerFixture {
    TemplateWindow() { library.load(); }
    QTreeWidgetItem* node(const QString& tag) const {
        for (QTreeWidgetItemIterator it(tree()); *it; ++it)
            if ((*it)->data(0, Qt::UserRole).toString() == tag)
                return *it;
        return nullptr;
    }
    const PolicyInstance& policy(const QString& name) const {
        return *TemplateTree::policyOf(context, u"policy:"_s + name);
    }
    PolicyState state(const QString& name) const {
        return TemplateStates::settingOf(context.workingCatalogue, policy(name)).state;
    }
    // The editor of a policy, on screen, with the addresses it refreshes recorded.
    std::unique_ptr<frmEditPolicy> edit(const QString& name) {
        auto editor = std::make_unique<frmEditPolicy>(context, policy(name),
                                                      [this](const QString& policy) { refreshed << policy; });
        editor->show();
        return editor;
    }

    TemplateLibrary library{context, kFirefox};
    QStringList refreshed;
};

} // namespace

class TestTemplateWindow : public QObject {
    Q_OBJECT

private slots:
    // Which nodes and rows the templates give: test_template_browsing; here, how the window opens them.
    void treeListSearchAndOpening() {
        TemplateWindow f;
        f.start();
        QCOMPARE(f.tree()->topLevelItemCount(), 3);
        // A category node lists its policies; a category row opens its node.
        QTreeWidgetItem* firefox = f.node(u"template:Machine\x1fMozilla\x1f"
                                          u"Firefox"_s);
        f.tree()->setCurrentItem(firefox);
        f.selectRow(int(f.column(0).indexOf(u"Home page"_s)));
        f.window->openSelectedRow();
        QCOMPARE(f.tree()->currentItem(), f.node(u"template:Machine\x1fMozilla\x1f"
                                                 u"Firefox\x1fHome page"_s));
        QCOMPARE(f.column(0).first(), u"URL for Home page"_s);

        // A policy row opens the policy's editor; its refresh shows the catalogues again.
        f.selectRow(0);
        f.window->openSelectedRow();
        QCOMPARE(f.windows.calls.last(), u"editPolicy policy:machine/firefox:HomepageURL"_s);
        TemplateStates::store(f.context.workingCatalogue, *f.context.templates,
                              f.policy(u"machine/firefox:HomepageURL"_s), {PolicyState::Disabled, {}});
        f.windows.refresh(QString());
        QCOMPARE(f.column(1).first(), u"Disabled"_s);

        // The filter finds policies of every category beside the entries, naming their place.
        f.window->filterBar()->edit()->setText(u"AgentTimeout"_s);
        QVERIFY(f.column(0).contains(
            u"Agent Timeout (Computer Configuration/Mozilla/Firefox/Content Analysis (DLP))"_s));

        // A registry that fails: the user is told why, the editor stays, nothing is kept.
        f.backend.setUnreadable(true);
        auto failing = f.edit(u"machine/firefox:HomepageStartPage"_s);
        child<QRadioButton>(failing.get(), "optState2")->click();
        press(failing.get(), "cmdApply");
        QCOMPARE(f.prompter.messages().size(), 1);
        QVERIFY(f.prompter.messageTexts().first().startsWith(
            u"The policy was not applied: HKEY_LOCAL_MACHINE\\Software\\Policies\\Mozilla\\Firefox"_s));
        QCOMPARE(f.prompter.messages().first().icon, MessageIcon::Critical);
        QVERIFY(failing->isVisible());
        QCOMPARE(f.state(u"machine/firefox:HomepageStartPage"_s), PolicyState::NotConfigured);
        f.backend.setUnreadable(false);

        // New folders: the tree starts afresh with what is loaded then.
        f.windows.foldersAnswer = [&] {
            f.context.templates = nullptr;
            return true;
        };
        f.action(u"mnuTemplateFolders"_s)->trigger();
        QCOMPARE(f.tree()->topLevelItemCount(), 1);
    }

    // The editor writes a policy folder as tavimorctl set writes another, byte for byte: a text holding
    // a policy file's record separators, with its check box, and a list. Apply later writes nothing.
    void editorWritesAPolicyFolderAsTheCommandLineDoes() {
        TemplateWindow f;
        const QString window = f.dir.filePath(u"window"_s);
        const QString command = f.dir.filePath(u"command"_s);
        const QString url = u"https://intranet.example/start?a=1;b=[2]"_s;
        QString why;
        const std::unique_ptr<RegistryBackend> folder = openTarget(u"pol:"_s + window, &why);
        QVERIFY2(folder, qPrintable(why));
        f.context.registry.setBackend(*folder);
        f.start();

        auto home = f.edit(u"machine/firefox:HomepageURL"_s);
        QVERIFY(!child<QPushButton>(home.get(), "cmdApply")->isEnabled());
        QVERIFY(child<QRadioButton>(home.get(), "optState0")->isChecked());
        child<QRadioButton>(home.get(), "optState1")->click();
        // The required URL is missing: the user is told and nothing is written.
        press(home.get(), "cmdApply");
        QCOMPARE(f.prompter.messageTexts(), QStringList{u"\"URL\" is required."_s});
        QVERIFY(!QFile::exists(window + u"/Machine/Registry.pol"_s));
        QTest::keyClicks(child<QLineEdit>(home.get(), "ctlOption0"), url);
        child<QCheckBox>(home.get(), "ctlOption1")->click();
        press(home.get(), "cmdApply");
        auto pages = f.edit(u"user/firefox:HomepageAdditional"_s);
        child<QRadioButton>(pages.get(), "optState1")->click();
        auto* table = child<QTableWidget>(pages.get(), "ctlOption0");
        for (const QString& entry : {u"https://a.example"_s, u"https://b.example"_s}) {
            press(pages.get(), "cmdAddEntry");
            table->setItem(table->rowCount() - 1, 0, new QTableWidgetItem(entry));
        }
        press(pages.get(), "cmdApply");
        auto later = f.edit(u"machine/firefox:HomepageStartPage"_s);
        child<QRadioButton>(later.get(), "optState2")->click();
        press(later.get(), "cmdOK");
        QCOMPARE(f.prompter.messages().size(), 1);
        QCOMPARE(f.refreshed,
                 (QStringList{u"machine/firefox:HomepageURL"_s, u"user/firefox:HomepageAdditional"_s,
                              u"machine/firefox:HomepageStartPage"_s}));
        QCOMPARE(f.state(u"machine/firefox:HomepageStartPage"_s), PolicyState::Disabled);

        const QStringList options{
            u"--settings-folder"_s, f.dir.filePath(u"ctl"_s), u"--templates"_s, kFirefox,
            u"--target"_s,          u"pol:"_s + command,      u"set"_s};
        for (const QStringList& set :
             {QStringList{u"machine/firefox:HomepageURL"_s, u"Enabled"_s, u"HomepageURL="_s + url,
                          u"HomepageLocked=true"_s},
              QStringList{u"user/firefox:HomepageAdditional"_s, u"Enabled"_s,
                          u"HomepageAdditional=https://a.example,https://b.example"_s}}) {
            QProcess ctl;
            ctl.start(QStringLiteral(TAVIMORCTL), options + set);
            QVERIFY(ctl.waitForFinished(30000));
            QVERIFY2(ctl.exitCode() == 0, ctl.readAllStandardError().constData());
        }
        for (const QString& file : {u"/Machine/Registry.pol"_s, u"/User/Registry.pol"_s}) {
            const QByteArray written = fileBytes(window + file);
            QVERIFY2(written.size() > 8, qPrintable(file));
            QCOMPARE(written, fileBytes(command + file));
        }
        QVERIFY(fileBytes(window + u"/Machine/Registry.pol"_s)
                    .contains(QByteArray(reinterpret_cast<const char*>(url.utf16()), url.size() * 2)));
    }
};

QTEST_MAIN(TestTemplateWindow)
#include "tst_template_window.moc"
