// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/FileUtil.h"
#include "catalogue/BuiltinCatalogue.h"
#include "catalogue/CatalogueFiles.h"
#include "ctl/CtlApp.h"
#include "ctl/CtlEnvironment.h"
#include "registry/MSDNRegistry.h"
#include "registry/RegistryTarget.h"
#include "settings/Cipher.h"
#include "support/FaultPlace.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>

namespace tavimor::test {

using namespace Qt::StringLiterals;

inline constexpr auto kExplorerPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";

// tavimorctl run in-process on files in a temporary directory, so state carries over as between processes.
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
        EXPECT_TRUE(writeFileAtomically(programFolder() + u"/tavimor.rds"_s, rds(builtinCatalogueText())));
        EXPECT_TRUE(writeFileAtomically(programFolder() + u"/.hidden"_s, "tavimor.rds\n"));
        m_vars.insert(u"TAVIMOR_TARGET"_s, u"file:"_s + path("registry.reg"));
        // A fresh machine: the commands that only read refuse a file: target that is not there.
        QString error;
        EXPECT_TRUE(openRegistryTarget(m_vars.value(u"TAVIMOR_TARGET"_s), &error)) << error.toStdString();
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
            return m_typed.isEmpty() ? std::nullopt : std::optional(m_typed.takeFirst());
        };
        env.readStandardInput = [this](qint64) {
            return std::optional<QByteArray>(m_stdin);
        };
        env.writeStandardOutput = [&result, this](const QByteArray& bytes, QString* why) {
            *why = m_stdoutFault;
            result.bytes += bytes;
            return m_stdoutFault.isEmpty();
        };
        result.status = CtlApp(env).run(args);
        return result;
    }

    // ctl("set", "NoRun", "1"): the arguments as a shell passes them.
    template <typename... Args> Result ctl(const Args&... args) { return run(QStringList{arg(args)...}); }
    template <typename... Args> Result exits(int status, const Args&... args) {
        Result r = ctl(args...);
        EXPECT_EQ(r.status, status) << r.err.toStdString();
        return r;
    }
    template <typename... Args> Result ok(const Args&... args) { return exits(0, args...); }
    // A command that failed: its exit status and nothing on standard output; the caller reads err.
    static Result failed(const Result& r, int status) {
        EXPECT_EQ(r.status, status) << r.err.toStdString();
        EXPECT_EQ(r.out, QString()) << r.out.toStdString();
        return r;
    }
    template <typename... Args> Result fails(int status, const Args&... args) {
        return failed(ctl(args...), status);
    }
    static QString arg(const char* text) { return QString::fromUtf8(text); }
    static QString arg(const QString& text) { return text; }

    // Runs a command with --json and parses its standard output as the one object it must be.
    template <typename... A> QJsonObject json(const A&... args) { return jsonOut(0, {arg(args)...}); }
    QJsonObject jsonOut(int status, const QStringList& args) {
        const Result r = run(QStringList{u"--json"_s} + args);
        EXPECT_EQ(r.status, status) << args.join(u' ').toStdString() << ": " << r.err.toStdString();
        QJsonParseError error{};
        const QJsonObject object = QJsonDocument::fromJson(r.out.toUtf8(), &error).object();
        EXPECT_EQ(error.error, QJsonParseError::NoError) << r.out.toStdString();
        EXPECT_EQ(object["format"_L1], 1);
        EXPECT_EQ(object["command"_L1].toString(), args.first()) << r.out.toStdString();
        m_lastErr = r.err;
        return object;
    }
    // The error object a failing command leaves on standard error.
    template <typename... A> QJsonObject jsonError(int status, const A&... args) {
        const Result r = fails(status, "--json", args...);
        EXPECT_EQ(r.err.count(u'\n'), 1) << r.err.toStdString();
        const QJsonObject object = QJsonDocument::fromJson(r.err.toUtf8()).object();
        EXPECT_EQ(object["format"_L1], 1);
        EXPECT_EQ(object["status"_L1], status);
        return object;
    }

    // The policy file of one half ("User", "Machine") of the Group Policy folder "gpo".
    QString pol(const char* half) const {
        return path("gpo") + u'/' + QLatin1String(half) + u"/Registry.pol"_s;
    }

    // A value under the Explorer policies as the registry file holds it now, read as another process would.
    QString explorer(const char* name) {
        QString error;
        const std::unique_ptr<RegistryBackend> backend =
            openRegistryTarget(m_vars.value(u"TAVIMOR_TARGET"_s), &error);
        EXPECT_TRUE(backend) << error.toStdString();
        const QString key = QLatin1String(kExplorerPath);
        return backend ? MSDNRegistry(*backend).ReadKeyValue(HKEY_CURRENT_USER, key, arg(name)).toText()
                       : QString();
    }
    QString noRun() { return explorer("NoRun"); }

    QTemporaryDir m_dir;
    QHash<QString, QString> m_vars;
    bool m_terminal = false;
    QStringList m_typed;
    QStringList m_prompts;
    QByteArray m_stdin;
    QString m_stdoutFault; // why "-" as output fails, "" when it takes everything
    QString m_lastErr;
};

} // namespace tavimor::test
