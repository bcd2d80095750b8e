// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Clock.h"
#include "catalogue/ProgramContext.h"
#include "gui/Shell.h"
#include "registry/KeyStoreBackend.h"
#include "registry/MemoryBackend.h"
#include "registry/SettingsStore.h"
#include "support/RecordingErrorHandler.h"
#include "support/ScriptedPrompter.h"
#include "support/WindowFakes.h"

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>

namespace tavimor::test {

using namespace Qt::StringLiterals;

inline QStringList texts(std::initializer_list<const char*> list) {
    QStringList result;
    for (const char* text : list)
        result.append(QString::fromUtf8(text));
    return result;
}

// A prompter that lets a test look at the world while a message is on screen.
class WatchingPrompter : public ScriptedPrompter {
public:
    Answer message(const QString& text, const QString& title, MessageIcon icon,
                   MessageButtons buttons) override {
        if (onMessage)
            onMessage(text);
        return ScriptedPrompter::message(text, title, icon, buttons);
    }
    std::function<void(const QString&)> onMessage;
};

// A program context over an in-memory registry (Windows 98 unless told otherwise), a temporary
// program folder and settings store.
struct StartupFixture {
    explicit StartupFixture(bool windowsNt = false)
        : settings(dir.filePath(u"settings"_s))
        , context(backend, prompter, settings, errors, dir.filePath(u"program"_s)) {
        QDir().mkpath(context.programFolder);
        if (windowsNt)
            backend.putValue(QLatin1String(kNtVersionKey), u"CurrentVersion"_s, regSz(u"5.1"_s));
        else
            for (const SeedValue& seed : windows98Seed(u"TESTBOX"_s))
                backend.putValue(seed.keyPath, seed.name, seed.value);
        Main(context);
    }
    QString setting(const char* key) const {
        return settings.read(QLatin1String(key), u"-"_s).value_or(u"failed"_s);
    }

    QTemporaryDir dir;
    MemoryBackend backend;
    WatchingPrompter prompter;
    RecordingErrorHandler errors;
    SettingsStore settings;
    ProgramContext context;
};

} // namespace tavimor::test
