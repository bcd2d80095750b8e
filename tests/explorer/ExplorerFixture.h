// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Clock.h"
#include "base/FileUtil.h"
#include "explorer/frmRegistryExplorer.h"
#include "gui/ProgramWindows.h"
#include "gui/Shell.h"
#include "startup/StartupFixture.h"

#include <QFile>
#include <QTest>
#include <QTreeWidget>
#include <memory>

namespace tavimor::test {

using namespace Qt::StringLiterals;

inline constexpr auto kExplorerKey =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
inline const QString kRunDialog = u"TAVIMOR/REGISTRYSETTINGS[4]/ENTRY[3]"_s;

// Records what the main window asks of the other windows, and answers as the test tells.
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
    void editPolicy(QWidget*, const QString& policyName,
                    const std::function<void(const QString&)>& refreshList) override {
        calls.append({u"editPolicy"_s, policyName});
        refresh = refreshList;
    }
    std::optional<QString> setPassword(QWidget*) override { return record(u"setPassword"_s, passwordAnswer); }
    bool openRegistry(QWidget*) override {
        return record(u"openRegistry"_s, registryAnswer && registryAnswer());
    }
    bool templateFolders(QWidget*) override {
        return record(u"templateFolders"_s, foldersAnswer && foldersAnswer());
    }
    void hideDrives() override { record(u"hideDrives"_s, 0); }
    void about(QWidget*) override { record(u"about"_s, 0); }
    void help(QWidget*, const QString& topic) override { calls.append({u"help"_s, topic}); }
    void confirmRestart() override { record(u"confirmRestart"_s, 0); }

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

private:
    template <typename T> T record(const QString& what, T answer) {
        calls.append({what, {}});
        return answer;
    }
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
