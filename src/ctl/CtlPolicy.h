// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/PolicyFiles.h"
#include "grouppolicy/PolicyCommit.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <optional>

namespace tavimor {

class CtlOutput;
class FileLock;
class PolicyFolder;
class ProgramContext;
class XmlDocument;
struct CtlEnvironment;
struct CtlOptions;

// Group Policy registry files: export-pol, import-pol, and what gpo push and pull share with them.
// In JSON mode nothing is printed as text; what was done is gathered for the command's object.
class CtlPolicy {
public:
    CtlPolicy(ProgramContext& context, const CtlOptions& options, CtlOutput& output);
    ~CtlPolicy();

    int exportPol();
    int importPol();

    // The folder's two files rewritten with the catalogue's values (the --from settings file's, or
    // else the registry's now); nullopt after a message when a file or the settings file is bad.
    // The folder stays locked until this object goes.
    std::optional<std::array<PolMerge, 2>> plan(const PolicyFolder& folder);
    // Writes what the commit holds; a GPO raises its versions as well. false with *error.
    using Publish = std::function<bool(PolicyCommit& commit, QString* error)>;
    // Writes the planned files, whole or none; a file that holds those bytes already is left alone,
    // and one that is not there and would hold nothing is made only with makeEmpty. publish writes
    // them (by default, as a plain folder), gpt says what becomes of GPT.INI. false after a message.
    bool write(const PolicyFolder& folder, const std::array<PolMerge, 2>& merges, bool makeEmpty,
               const Publish& publish = {}, GptUpdate gpt = GptUpdate::None);
    // Whether write wrote a file.
    bool wroteAny() const { return m_wroteAny; }
    // Reads the folder's files into the working catalogue over the registry's values now, so
    // that applying it changes only what the files say; reports what it leaves. setAddresses, when
    // given, receives the addresses of the entries the files set. false after a message.
    bool loadIntoWorking(const PolicyFolder& folder, bool listSet, QStringList* setAddresses = nullptr);
    // Writes the working catalogue as a settings file; false after a message.
    bool saveWorking(const QString& path);

    // A folder or file as the Group Policy commands print it.
    static QString shownPath(const QString& path);

    // What write wrote ("files"), what loadIntoWorking set and left ("set", "left") and what
    // saveWorking saved ("saved"), for the JSON object.
    QJsonObject jsonResult() const;

private:
    bool fail(const QString& text);
    // The template policies the files set, into the working catalogue; their names into setAddresses.
    void loadTemplates(const std::array<PolFile, 2>& files, bool listSet, QStringList* setAddresses);
    std::optional<XmlDocument> fromFile(const QString& path);

    ProgramContext& m_context;
    const CtlOptions& m_options;
    CtlOutput& m_output;
    QJsonArray m_files;
    QJsonArray m_set;
    QJsonArray m_left;
    QString m_saved;
    bool m_loaded = false;
    bool m_wroteAny = false;
    std::unique_ptr<FileLock> m_lock;
};

} // namespace tavimor
