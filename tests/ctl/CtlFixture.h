// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/FileUtil.h"
#include "catalogue/BuiltinCatalogue.h"
#include "catalogue/CatalogueFiles.h"
#include "ctl/CtlApp.h"
#include "ctl/CtlEnvironment.h"
#include "registry/Cipher.h"
#include "registry/MSDNRegistry.h"
#include "registry/RegistryTarget.h"

#include <QDir>
#include <QHash>
#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>

namespace tavimor::test {

using namespace Qt::StringLiterals;

inline constexpr auto kExplorerPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";

// tavimorctl run in-process over a registry file, a settings folder and a program folder in a
// temporary directory, so state carries over from one run to the next as between processes.
class CtlFixture : public ::testing::Test {
protected:
    struct Result {
        int status = -1;
        QString out;
        QString err;
        QByteArray bytes; // what "-" wrote to standard output
    };

    CtlFixture() {
        QDir().mkpath(programFolder());
        EXPECT_TRUE(writeFileAtomically(programFolder() + QStringLiteral("/tavimor.rds"),
                                        rds(builtinCatalogueText())));
        EXPECT_TRUE(writeFileAtomically(programFolder() + QStringLiteral("/.hidden"), "tavimor.rds\n"));
        m_vars.insert(QStringLiteral("TAVIMOR_TARGET"), QStringLiteral("file:") + path("registry.reg"));
        // A fresh machine: the commands that only read refuse a file: target that is not there.
        QString error;
        EXPECT_TRUE(openRegistryTarget(m_vars.value(QStringLiteral("TAVIMOR_TARGET")), &error))
            << error.toStdString();
    }

    QString path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }
    QString programFolder() const { return path("program"); }

    static QByteArray rds(const QString& catalogueXml) {
        return CatalogueFiles::encipherSettingsFile(catalogueXml, cataloguePassPhrase());
    }

    Result run(const QStringList& args) {
        Result result;
        QTextStream out(&result.out);
        QTextStream err(&result.err);
        CtlEnvironment env(out, err);
        env.environment = [this](const QString& name) {
            return m_vars.value(name);
        };
        env.programFolder = programFolder();
        env.settingsFolder = path("settings");
        env.stdinIsTerminal = m_terminal;
        env.readPassword = [this](const QString& prompt) -> std::optional<QString> {
            m_prompts.append(prompt);
            if (m_typed.isEmpty())
                return std::nullopt;
            return m_typed.takeFirst();
        };
        env.readStandardInput = [this](qint64) {
            return std::optional<QByteArray>(m_stdin);
        };
        env.writeStandardOutput = [&result](const QByteArray& bytes) {
            result.bytes += bytes;
            return true;
        };
        env.now = [] {
            return QDateTime(QDate(2026, 3, 14), QTime(9, 26, 53));
        };
        result.status = CtlApp(env).run(args);
        return result;
    }

    // ctl("set", "NoRun", "1"): the arguments as a shell passes them.
    template <typename... Args> Result ctl(const Args&... args) { return run(QStringList{arg(args)...}); }
    template <typename... Args> Result ok(const Args&... args) {
        Result r = ctl(args...);
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        return r;
    }
    static QString arg(const char* text) { return QString::fromUtf8(text); }
    static QString arg(const QString& text) { return text; }

    // What the registry file holds now, as another process would read it.
    QString registryValue(const QString& keyPath, const QString& name, HKEY hive = HKEY_CURRENT_USER) {
        QString error;
        const std::unique_ptr<RegistryBackend> backend =
            openRegistryTarget(m_vars.value(QStringLiteral("TAVIMOR_TARGET")), &error);
        EXPECT_TRUE(backend) << error.toStdString();
        return backend ? MSDNRegistry(*backend).ReadKeyValue(hive, keyPath, name).toText() : QString();
    }
    QString explorer(const char* name) { return registryValue(QLatin1String(kExplorerPath), arg(name)); }
    QString noRun() { return explorer("NoRun"); }
    QByteArray registryBytes() const {
        return readWholeFile(path("registry.reg"), 1 << 20).value_or("missing");
    }

    QTemporaryDir m_dir;
    QHash<QString, QString> m_vars;
    bool m_terminal = false;
    QStringList m_typed;
    QStringList m_prompts;
    QByteArray m_stdin;
};

} // namespace tavimor::test
