// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "GptIni.h"
#include "PolicyFolder.h"

#include <QByteArray>
#include <array>
#include <optional>

namespace tavimor {

// How a folder's GPT.INI follows a change of its policy files.
enum class GptUpdate {
    None,      // a plain folder of .pol files
    IfPresent, // a Windows installation's own Group Policy folder
    Required,  // a GPO in SYSVOL
};

// One change of a policy folder, whole or not at all: the Registry.pol files that change, then the
// version in GPT.INI raised for each half that changed.
class PolicyCommit {
public:
    PolicyCommit(const PolicyFolder& folder, GptUpdate gpt)
        : m_folder(folder)
        , m_gpt(gpt) {}

    // The new content of one file; a file not given stays as it is.
    void setFile(PolScope scope, const QByteArray& bytes) { m_new[polIndex(scope)] = bytes; }
    bool changes(PolScope scope) const { return m_new[polIndex(scope)].has_value(); }

    // Checks all that can be checked before anything is written: every file to replace and GPT.INI
    // can be replaced, GPT.INI reads and its version can be raised from at least floor (the
    // directory's). false with *error naming the file; nothing is written then.
    [[nodiscard]] bool prepare(const std::optional<GpoVersion>& floor, QString* error);
    // Writes each changed file, then GPT.INI when its version moves, each read back. When one
    // fails, those written before are put back.
    [[nodiscard]] bool write(QString* error);
    // Puts back what write wrote, after a later step failed.
    void undo();

    bool hasGptIni() const { return !m_gptPath.isEmpty(); }
    const QString& gptIniPath() const { return m_gptPath; }
    quint32 versionBefore() const { return m_before; }
    quint32 versionAfter() const { return m_after; }

private:
    struct Written {
        QString path;
        std::optional<QByteArray> old; // nullopt: there was no file
        bool madeFolder = false;
    };
    [[nodiscard]] bool replace(const QString& path, const QByteArray& bytes, QString* error);

    PolicyFolder m_folder;
    GptUpdate m_gpt;
    std::array<std::optional<QByteArray>, 2> m_new;
    QString m_gptPath;
    std::optional<GptIni> m_ini;
    quint32 m_before = 0;
    quint32 m_after = 0;
    QList<Written> m_written;
};

} // namespace tavimor
