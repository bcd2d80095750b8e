// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Clock.h"
#include "base/FileUtil.h"
#include "explorer/frmRegistryExplorer.h"
#include "gui/ProgramWindows.h"
#include "gui/Shell.h"
#include "support/ProgramHarness.h"
#include "support/WindowFakes.h"

#include <QFile>
#include <QTest>
#include <QTreeWidget>
#include <memory>

namespace tavimor::test {

using namespace Qt::StringLiterals;

inline constexpr auto kExplorerKey =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";

// Records what the main window asks of the other windows.
class RecordingWindows : public ProgramWindows {
public:
    struct Call {
        QString what;
        QString argument;
        bool restartNote = false;
    };
    void editSetting(QWidget*, const QString& entryAddress, bool restartNoteVisible,
                     const std::function<void(const QString&)>& refreshList) override {
        calls.append({u"editSetting"_s, entryAddress, restartNoteVisible});
        refresh = refreshList;
    }
    void hideDrives() override { calls.append({u"hideDrives"_s, {}}); }
    std::optional<QString> setPassword(QWidget*) override {
        calls.append({u"setPassword"_s, {}});
        return passwordAnswer;
    }
    void about(QWidget*) override { calls.append({u"about"_s, {}}); }
    void help(QWidget*, const QString& topic) override { calls.append({u"help"_s, topic}); }
    void confirmRestart() override { calls.append({u"confirmRestart"_s, {}}); }
    bool openRegistry(QWidget*) override {
        calls.append({u"openRegistry"_s, {}});
        return registryAnswer && registryAnswer();
    }
    void editPolicy(QWidget*, const QString& policyName,
                    const std::function<void(const QString&)>& refreshList) override {
        calls.append({u"editPolicy"_s, policyName});
        refresh = refreshList;
    }
    bool templateFolders(QWidget*) override {
        calls.append({u"templateFolders"_s, {}});
        return foldersAnswer && foldersAnswer();
    }

    QStringList names() const {
        QStringList list;
        for (const Call& call : calls)
            list.append(call.what);
        return list;
    }

    QList<Call> calls;
    std::optional<QString> passwordAnswer;
    std::function<void(const QString&)> refresh;
    std::function<bool()> registryAnswer;
    std::function<bool()> foldersAnswer;
};

// A fresh start of the main window over an in-memory Windows 98 registry: the hidden default
// settings file makes it take the built-in catalogue; our style sheet lies in the program folder.
struct ExplorerFixture : ProgramHarness {
    ExplorerFixture() {
        QVERIFY(writeFileAtomically(context.defaultSettingsFile(), "hidden"));
        QVERIFY(writeFileAtomically(context.programFolder + u"/.hidden"_s, "tavimor.rds\n"));
        const QString sheet = QFINDTESTDATA("../../resources/program/tavimor.xsl");
        QVERIFY(QFile::copy(sheet, xslPath()));
    }

    frmRegistryExplorer& start(const QString& commandLine = QString()) {
        window = std::make_unique<frmRegistryExplorer>(context, commandLine, windows, shell, clock);
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
    void selectRow(int index) const { list()->setCurrentItem(list()->topLevelItem(index)); }
    QString xslPath() const { return context.programFolder + u"/tavimor.xsl"_s; }
    void setRegistry(const QString& name, quint32 value) {
        backend.putValue(QLatin1String(kExplorerKey), name, regDword(value));
    }

    RecordingWindows windows;
    RecordingShell shell;
    FixedClock clock;
    std::unique_ptr<frmRegistryExplorer> window;
};

} // namespace tavimor::test
