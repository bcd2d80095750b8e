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
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

using namespace tavimor;
using namespace tavimor::test;

namespace {

const QString kFirefox = QStringLiteral(TAVIMOR_SOURCE_DIR "/tests/templates/data/firefox");
const QString kHomepageKey = u"HKEY_LOCAL_MACHINE\\Software\\Policies\\Mozilla\\Firefox\\Homepage"_s;
const QString kHomeNode = u"template:Machine\x1fMozilla\x1f"
                          u"Firefox\x1fHome page"_s;

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
    // Enabled, with these entries added to its list, in a list policy's editor.
    void enableWithEntries(frmEditPolicy& editor, const QStringList& entries) const {
        child<QRadioButton>(&editor, "optState1")->click();
        auto* table = child<QTableWidget>(&editor, "ctlOption0");
        for (const QString& entry : entries) {
            child<QPushButton>(&editor, "cmdAddEntry")->click();
            table->setItem(table->rowCount() - 1, 0, new QTableWidgetItem(entry));
        }
    }

    TemplateLibrary library{context, kFirefox};
};

} // namespace

class TestTemplateWindow : public QObject {
    Q_OBJECT

private slots:
    void treeListSearchAndOpening() {
        TemplateWindow f;
        f.start();
        QCOMPARE(f.tree()->topLevelItemCount(), 3);
        QCOMPARE(f.tree()->topLevelItem(1)->text(0), u"Computer Configuration"_s);
        QCOMPARE(f.tree()->topLevelItem(2)->text(0), u"User Configuration"_s);

        // A category node lists its policies with both states; a category row opens its node.
        QTreeWidgetItem* firefox = f.node(u"template:Machine\x1fMozilla\x1f"
                                          u"Firefox"_s);
        QVERIFY(firefox);
        f.tree()->setCurrentItem(firefox);
        QVERIFY(f.column(0).contains(u"Home page"_s));
        f.selectRow(int(f.column(0).indexOf(u"Home page"_s)));
        f.window->openSelectedRow();
        QCOMPARE(f.tree()->currentItem(), f.node(kHomeNode));
        QCOMPARE(f.column(0).first(), u"URL for Home page"_s);
        QCOMPARE(f.column(1).first(), u"Not configured"_s);
        QCOMPARE(f.column(2).first(), u"Not configured"_s);

        // A policy row opens the policy's editor; its refresh shows the catalogues again.
        f.selectRow(0);
        f.window->openSelectedRow();
        QCOMPARE(f.windows.calls.last().what, u"editPolicy"_s);
        QCOMPARE(f.windows.calls.last().argument, u"policy:machine/firefox:HomepageURL"_s);
        TemplateStates::store(f.context.workingCatalogue, *f.context.templates,
                              f.policy(u"machine/firefox:HomepageURL"_s), {PolicyState::Disabled, {}});
        f.windows.refresh(QString());
        QCOMPARE(f.column(1).first(), u"Disabled"_s);

        // The filter finds policies of every category beside the entries, naming their place.
        f.window->filterBar()->edit()->setText(u"AgentTimeout"_s);
        QVERIFY(f.column(0).contains(
            u"Agent Timeout (Computer Configuration/Mozilla/Firefox/Content Analysis (DLP))"_s));

        // New folders: the tree starts afresh with what is loaded then.
        f.windows.foldersAnswer = [&] {
            f.context.templates = nullptr;
            return true;
        };
        f.action(u"mnuTemplateFolders"_s)->trigger();
        QCOMPARE(f.tree()->topLevelItemCount(), 1);
    }

    void editorAppliesNowOrLater() {
        TemplateWindow f;
        f.start();
        QStringList refreshed;
        const auto refresh = [&](const QString& name) {
            refreshed.append(name);
        };
        frmEditPolicy url(f.context, f.policy(u"machine/firefox:HomepageURL"_s), refresh);
        url.show();
        auto* now = child<QPushButton>(&url, "cmdApply");
        QVERIFY(!now->isEnabled());
        QVERIFY(child<QRadioButton>(&url, "optState0")->isChecked());
        child<QRadioButton>(&url, "optState1")->click();
        QVERIFY(now->isEnabled());
        // The required URL is missing: the user is told and nothing is written.
        now->click();
        QCOMPARE(f.prompter.messageTexts(), QStringList{u"\"URL\" is required."_s});
        QVERIFY(!f.backend.value(kHomepageKey, u"URL"_s));
        QTest::keyClicks(child<QLineEdit>(&url, "ctlOption0"), u"https://intranet.example"_s);
        now->click();
        QCOMPARE(f.backend.value(kHomepageKey, u"URL"_s), regSz(u"https://intranet.example"_s));
        QCOMPARE(f.dword(kHomepageKey, u"Locked"_s), std::optional<quint32>(0));
        QCOMPARE(refreshed, QStringList{u"machine/firefox:HomepageURL"_s});
        QCOMPARE(url.result(), int(QDialog::Accepted));

        // A list's entries, added in its editor, kept for later: the registry is not touched.
        const PolicyInstance& additional = f.policy(u"machine/firefox:HomepageAdditional"_s);
        frmEditPolicy list(f.context, additional, refresh);
        list.show();
        f.enableWithEntries(list, {u"https://a.example"_s, u"https://b.example"_s});
        child<QPushButton>(&list, "cmdOK")->click();
        QCOMPARE(TemplateStates::settingOf(f.context.workingCatalogue, additional).values.value(0).strings,
                 (QStringList{u"https://a.example"_s, u"https://b.example"_s}));
        QCOMPARE(TemplateStates::settingOf(f.context.machineCatalogue, additional).state,
                 PolicyState::NotConfigured);
        QVERIFY(!f.backend.value(kHomepageKey + u"\\Additional"_s, u"1"_s));
        // A registry that fails: the user is told why, the dialog stays, nothing is kept.
        f.prompter.clear();
        f.backend.setUnreadable(true);
        frmEditPolicy failing(f.context, f.policy(u"machine/firefox:HomepageStartPage"_s), refresh);
        failing.show();
        child<QRadioButton>(&failing, "optState2")->click();
        child<QPushButton>(&failing, "cmdApply")->click();
        QCOMPARE(f.prompter.messages().size(), 1);
        QVERIFY(f.prompter.messageTexts().first().startsWith(
            u"The policy was not applied: HKEY_LOCAL_MACHINE\\Software\\Policies\\Mozilla\\Firefox"_s));
        QCOMPARE(f.prompter.messages().first().icon, MessageIcon::Critical);
        QVERIFY(failing.isVisible());
        QCOMPARE(TemplateStates::settingOf(f.context.workingCatalogue,
                                           f.policy(u"machine/firefox:HomepageStartPage"_s))
                     .state,
                 PolicyState::NotConfigured);
    }

    // The editor writes a policy folder byte for byte as tavimorctl set writes another: a text
    // (holding the separators of a policy file's records) with its check box, and a user's list.
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

        frmEditPolicy home(f.context, f.policy(u"machine/firefox:HomepageURL"_s), [](const QString&) {});
        home.show();
        child<QRadioButton>(&home, "optState1")->click();
        QTest::keyClicks(child<QLineEdit>(&home, "ctlOption0"), url);
        child<QCheckBox>(&home, "ctlOption1")->click();
        child<QPushButton>(&home, "cmdApply")->click();
        frmEditPolicy pages(f.context, f.policy(u"user/firefox:HomepageAdditional"_s), [](const QString&) {});
        pages.show();
        f.enableWithEntries(pages, {u"https://a.example"_s, u"https://b.example"_s});
        child<QPushButton>(&pages, "cmdApply")->click();
        QCOMPARE(f.prompter.messageTexts(), QStringList());
        QCOMPARE(home.result(), int(QDialog::Accepted));
        QCOMPARE(pages.result(), int(QDialog::Accepted));

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
