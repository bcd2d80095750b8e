// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/FileUtil.h"
#include "explorer/frmRegistryExplorer.h"
#include "gui/ProgramWindows.h"
#include "support/WindowTest.h"

#include <QFile>
#include <QTreeWidget>

namespace tavimor::test {

// Records what the main window asks of the other windows ("what argument"), and answers as told.
class RecordingWindows : public ProgramWindows {
public:
    using Refresh = std::function<void(const QString&)>;
    void editSetting(QWidget*, const QString& entry, bool restartNote, const Refresh& refreshList) override {
        calls << u"editSetting "_s + entry + (restartNote ? u" restart"_s : QString());
        refresh = refreshList;
    }
    void editPolicy(QWidget*, const QString& policyName, const Refresh& refreshList) override {
        calls << u"editPolicy "_s + policyName;
        refresh = refreshList;
    }
    std::optional<QString> setPassword(QWidget*) override { return note(u"setPassword"_s, passwordAnswer); }
    bool openRegistry(QWidget*) override { return note(u"openRegistry"_s, registryAnswer()); }
    bool templateFolders(QWidget*) override { return note(u"templateFolders"_s, foldersAnswer()); }
    void hideDrives() override { calls << u"hideDrives"_s; }
    void about(QWidget*) override { calls << u"about"_s; }
    void help(QWidget*, const QString& topic) override { calls << u"help "_s + topic; }
    void confirmRestart() override { calls << u"confirmRestart"_s; }

    QStringList calls;
    Refresh refresh;
    std::optional<QString> passwordAnswer;
    static bool no() { return false; }
    std::function<bool()> registryAnswer = no;
    std::function<bool()> foldersAnswer = no;

private:
    template <typename T> T note(const QString& what, T answer) {
        calls << what;
        return answer;
    }
};

// A fresh start of the main window over an in-memory Windows 98 registry: the hidden default
// settings file makes it take the built-in catalogue; our style sheet lies in the program folder.
struct ExplorerFixture : ProgramHarness {
    ExplorerFixture() {
        QVERIFY(writeFileAtomically(context.defaultSettingsFile(), "hidden"));
        QVERIFY(writeFileAtomically(context.programFolder + u"/.hidden"_s, "tavimor.rds\n"));
        QVERIFY(QFile::copy(QFINDTESTDATA("../../resources/program/tavimor.xsl"), xslPath()));
    }

    frmRegistryExplorer& start() {
        window = std::make_unique<frmRegistryExplorer>(context, QString(), windows, shell, clock);
        window->resize(800, 500);
        return *window;
    }
    // Started and on screen; a window never exposed fails the calling test.
    frmRegistryExplorer& shown() {
        start().show();
        QTest::qVerify(QTest::qWaitForWindowExposed(window.get()), "exposed", "", __FILE__, __LINE__);
        return *window;
    }
    QTreeWidget* list() const { return window->findChild<QTreeWidget*>(u"lsvDescription"_s); }
    QTreeWidget* tree() const { return window->findChild<QTreeWidget*>(u"trvMain"_s); }
    QAction* action(const QString& name) const { return window->findChild<QAction*>(name); }
    QStringList column(int c) const {
        QStringList texts;
        for (int i = 0; i < list()->topLevelItemCount(); ++i)
            texts.append(list()->topLevelItem(i)->text(c));
        return texts;
    }
    QString cell(int row, int c) const { return list()->topLevelItem(row)->text(c); }
    void selectRow(int index) const { list()->setCurrentItem(list()->topLevelItem(index)); }
    QString xslPath() const { return context.programFolder + u"/tavimor.xsl"_s; }
    void setRegistry(const QString& name, quint32 value) {
        backend.putValue(kExplorerPolicies, name, regDword(value));
    }

    RecordingWindows windows;
    RecordingShell shell;
    FixedClock clock;
    std::unique_ptr<frmRegistryExplorer> window;
};

} // namespace tavimor::test
