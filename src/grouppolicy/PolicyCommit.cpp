// SPDX-License-Identifier: GPL-3.0-or-later
#include "PolicyCommit.h"

#include "base/FileUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tavimor {

namespace {

constexpr qint64 kMaxGptIniSize = 1024 * 1024;
constexpr qint64 kMaxPolFileSize = 64 * 1024 * 1024;

} // namespace

bool PolicyCommit::prepare(const std::optional<GpoVersion>& floor, QString* error) {
    m_written.clear();
    for (const PolScope scope : kPolScopes)
        if (changes(scope))
            if (const QString refused = m_folder.fileRefusal(scope); !refused.isEmpty()) {
                *error = refused;
                return false;
            }
    m_gptPath = m_gpt == GptUpdate::None ? QString() : m_folder.gptIniPath();
    if (m_gptPath.isEmpty()) {
        if (m_gpt != GptUpdate::Required)
            return true;
        *error = QStringLiteral("%1 has no GPT.INI").arg(QDir::toNativeSeparators(m_folder.folder()));
        return false;
    }
    if (const QString refused = replaceRefusal(m_gptPath); !refused.isEmpty()) {
        *error = refused;
        return false;
    }
    QString why;
    const std::optional<QByteArray> bytes = readWholeFile(m_gptPath, kMaxGptIniSize, &why);
    m_ini = bytes ? GptIni::parse(*bytes, &why) : std::nullopt;
    if (!m_ini) {
        *error = QStringLiteral("%1: %2").arg(m_gptPath, why);
        return false;
    }
    m_before = m_ini->version();
    GpoVersion version = GpoVersion::fromNumber(m_before);
    if (floor)
        version = version.atLeast(*floor);
    const std::optional<GpoVersion> raised =
        version.raised(changes(PolScope::User), changes(PolScope::Machine), &why);
    if (!raised) {
        *error = QStringLiteral("%1: %2").arg(m_gptPath, why);
        return false;
    }
    m_after = raised->number();
    return true;
}

bool PolicyCommit::replace(const QString& path, const QByteArray& bytes, QString* error) {
    Written written{path, QFileInfo::exists(path) ? readWholeFile(path, kMaxPolFileSize) : std::nullopt};
    if (QFileInfo::exists(path) && !written.old) {
        *error = QStringLiteral("cannot read %1").arg(path);
        return false;
    }
    QString why;
    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo::exists(folder)) {
        if (!QDir().mkdir(folder)) {
            *error = QStringLiteral("cannot make the folder %1").arg(folder);
            return false;
        }
        written.madeFolder = true;
    }
    if (!writeFileAtomically(path, bytes, &why)) {
        if (written.madeFolder)
            QDir().rmdir(folder);
        *error = QStringLiteral("cannot write %1: %2").arg(path, why);
        return false;
    }
    m_written.append(std::move(written));
    if (readWholeFile(path, kMaxPolFileSize) != bytes) {
        *error = QStringLiteral("%1 does not read back as it was written").arg(path);
        return false;
    }
    return true;
}

bool PolicyCommit::write(QString* error) {
    for (const PolScope scope : kPolScopes) {
        const std::optional<QByteArray>& bytes = m_new[polIndex(scope)];
        if (bytes && !replace(m_folder.filePath(scope), *bytes, error)) {
            undo();
            return false;
        }
    }
    if (m_ini && m_after != m_before && !replace(m_gptPath, m_ini->withVersion(m_after), error)) {
        undo();
        return false;
    }
    return true;
}

void PolicyCommit::undo() {
    while (!m_written.isEmpty()) {
        const Written written = m_written.takeLast();
        if (written.old)
            (void)writeFileAtomically(written.path, *written.old);
        else
            QFile::remove(written.path);
        if (written.madeFolder)
            QDir().rmdir(QFileInfo(written.path).absolutePath());
    }
}

} // namespace tavimor
