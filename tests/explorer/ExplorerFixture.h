// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Clock.h"
#include "base/FileUtil.h"
#include "catalogue/ProgramContext.h"
#include "explorer/frmRegistryExplorer.h"
#include "gui/ProgramWindows.h"
#include "gui/Shell.h"
#include "registry/MemoryBackend.h"
#include "registry/SettingsStore.h"
#include "support/RecordingErrorHandler.h"
#include "support/ScriptedPrompter.h"
#include "support/WindowFakes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <memory>

namespace tavimor::test {

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
        calls.append({QStringLiteral("editSetting"), entryAddress, restartNoteVisible});
        refresh = refreshList;
    }
    void hideDrives() override { calls.append({QStringLiteral("hideDrives"), {}}); }
    std::optional<QString> setPassword(QWidget*) override {
        calls.append({QStringLiteral("setPassword"), {}});
        return passwordAnswer;
    }
    void about(QWidget*) override { calls.append({QStringLiteral("about"), {}}); }
    void help(QWidget*, const QString& topic) override { calls.append({QStringLiteral("help"), topic}); }
    void confirmRestart() override { calls.append({QStringLiteral("confirmRestart"), {}}); }

    QStringList names() const {
        QStringList list;
        for (const Call& call : calls)
            list.append(call.what);
        return list;
    }

    QList<Call> calls;
    std::optional<QString> passwordAnswer;
    std::function<void(const QString&)> refresh;
};

// A fresh start of the main window over an in-memory Windows 98 registry: the hidden default
// settings file makes it take the built-in catalogue; our style sheet lies in the program folder.
struct ExplorerFixture {
    ExplorerFixture()
        : settings(dir.filePath(QStringLiteral("settings")))
        , context(backend, prompter, settings, errors, dir.filePath(QStringLiteral("program"))) {
        QDir().mkpath(context.programFolder);
        for (const SeedValue& seed : windows98Seed(QStringLiteral("TESTBOX")))
            backend.putValue(seed.keyPath, seed.name, seed.value);
        Main(context);
        QVERIFY(writeFileAtomically(context.defaultSettingsFile(), "hidden"));
        QVERIFY(writeFileAtomically(context.programFolder + QStringLiteral("/.hidden"), "tavimor.rds\n"));
        const QString sheet = QFINDTESTDATA("../../resources/program/tavimor.xsl");
        QVERIFY(QFile::copy(sheet, xslPath()));
    }

    frmRegistryExplorer& start(const QString& commandLine = QString()) {
        window = std::make_unique<frmRegistryExplorer>(context, commandLine, windows, shell, clock);
        window->resize(800, 500);
        return *window;
    }
    QTreeWidget* list() const { return window->findChild<QTreeWidget*>(QStringLiteral("lsvDescription")); }
    QTreeWidget* tree() const { return window->findChild<QTreeWidget*>(QStringLiteral("trvMain")); }
    QAction* action(const QString& name) const { return window->findChild<QAction*>(name); }
    QStringList column(int c) const {
        QStringList texts;
        for (int i = 0; i < list()->topLevelItemCount(); ++i)
            texts.append(list()->topLevelItem(i)->text(c));
        return texts;
    }
    void selectRow(int index) const { list()->setCurrentItem(list()->topLevelItem(index)); }
    QString xslPath() const { return context.programFolder + QStringLiteral("/tavimor.xsl"); }
    void setRegistry(const QString& name, quint32 value) {
        backend.putValue(QLatin1String(kExplorerKey), name, regDword(value));
    }

    QTemporaryDir dir;
    MemoryBackend backend;
    ScriptedPrompter prompter;
    RecordingErrorHandler errors;
    SettingsStore settings;
    ProgramContext context;
    RecordingWindows windows;
    RecordingShell shell;
    FixedClock clock;
    std::unique_ptr<frmRegistryExplorer> window;
};

} // namespace tavimor::test
