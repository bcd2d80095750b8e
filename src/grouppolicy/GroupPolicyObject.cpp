// SPDX-License-Identifier: GPL-3.0-or-later
#include "GroupPolicyObject.h"

#include "GptIni.h"
#include "PolicyCommit.h"
#include "base/FileUtil.h"
#include "registry/hive/HiveFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

namespace tavimor {

namespace {

constexpr qint64 kMaxGptIniSize = 1024 * 1024;

// PATH may be the SYSVOL share, a domain's folder in it, or its Policies folder.
QStringList policiesFolders(const QString& sysvol) {
    const QString root = QFileInfo(sysvol).absoluteFilePath();
    QStringList folders{root};
    if (const QString direct = findEntryIgnoringCase(root, QStringLiteral("Policies")); !direct.isEmpty())
        folders.append(direct);
    for (const QString& domain : QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (const QString below =
                findEntryIgnoringCase(root + QLatin1Char('/') + domain, QStringLiteral("Policies"));
            !below.isEmpty())
            folders.append(below);
    return folders;
}

QString gptDisplayName(const QString& folder) {
    const QString path = PolicyFolder(folder).gptIniPath();
    const std::optional<QByteArray> bytes =
        path.isEmpty() ? std::nullopt : readWholeFile(path, kMaxGptIniSize);
    const std::optional<GptIni> ini = bytes ? GptIni::parse(*bytes, nullptr) : std::nullopt;
    return ini ? ini->displayName() : QString();
}

QString linkRefusal(const QString& path) {
    return QStringLiteral("%1 is a symbolic link, which Tavimor does not follow out of SYSVOL").arg(path);
}

// The GPO folders, named from their GPT.INI.
QList<GpoListing> gpoFolders(const QString& sysvol) {
    QList<GpoListing> found;
    QStringList seen;
    for (const QString& policies : policiesFolders(sysvol)) {
        const QDir dir(policies);
        for (const QString& entry : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks)) {
            const QString guid = asGuid(entry);
            if (guid.isEmpty() || entry.size() != 38 || seen.contains(guid))
                continue;
            seen.append(guid);
            found.append({guid, gptDisplayName(dir.filePath(entry)), dir.filePath(entry)});
        }
    }
    return found;
}

} // namespace

QList<GpoListing> GroupPolicyObject::list(const QString& sysvol, const QString& url, QString* note) {
    QList<GpoListing> found = gpoFolders(sysvol);
    const QString directory = url.isEmpty() ? GpoDirectory::urlBesideSysvol(sysvol) : url;
    QString why;
    const std::optional<QList<GpoContainer>> containers =
        directory.isEmpty()
            ? std::nullopt
            : GpoDirectory(directory, QStringLiteral("Naming the GPOs")).find(QString(), &why);
    if (!containers) {
        if (note)
            *note =
                directory.isEmpty() ? QStringLiteral("no directory was found beside %1").arg(sysvol) : why;
        return found;
    }
    QHash<QString, QString> names;
    for (const GpoContainer& container : *containers)
        names.insert(container.guid, container.displayName);
    for (GpoListing& listing : found)
        listing.name = names.value(listing.guid, listing.name);
    return found;
}

std::optional<GroupPolicyObject> GroupPolicyObject::find(const QString& sysvol, const QString& gpo,
                                                         const QString& url, GpoAccess access,
                                                         const QString& neededBy, QString* error) {
    const auto fail = [error](const QString& text) -> std::optional<GroupPolicyObject> {
        *error = text;
        return std::nullopt;
    };
    if (!QFileInfo(sysvol).isDir())
        return fail(QStringLiteral("%1 is not a folder").arg(sysvol));
    GroupPolicyObject found;
    found.m_url = url.isEmpty() ? GpoDirectory::urlBesideSysvol(sysvol) : url;
    found.m_neededBy = neededBy;
    found.m_guid = asGuid(gpo);
    const GpoDirectory directory = found.directory();
    if (found.m_url.isEmpty()) {
        found.m_directoryProblem =
            QStringLiteral("no directory was found beside %1 (give its URL)").arg(sysvol);
    } else if (access != GpoAccess::Read || found.m_guid.isEmpty()) {
        // Files written without their directory entry would stay unseen by the clients.
        if (const QString missing = directory.missingTool(access != GpoAccess::Read); !missing.isEmpty()) {
            if (access != GpoAccess::Edit || found.m_guid.isEmpty())
                return fail(missing + QStringLiteral("; nothing was written"));
            found.m_directoryProblem = missing;
        } else if (const std::optional<QList<GpoContainer>> containers =
                       directory.find(gpo, &found.m_directoryProblem)) {
            if (containers->size() > 1)
                return fail(QStringLiteral("%1 GPOs are named \"%2\"; give the GUID")
                                .arg(containers->size())
                                .arg(gpo));
            if (containers->size() == 1 && !containers->first().guid.isEmpty()) {
                found.m_container = containers->first();
                found.m_guid = found.m_container->guid;
                found.m_displayName = found.m_container->displayName;
            } else {
                found.m_directoryProblem =
                    QStringLiteral("the directory %1 has no GPO %2").arg(found.m_url, gpo);
            }
        }
    }
    if (found.m_guid.isEmpty()) {
        // Without the directory a name can still be GPT.INI's.
        QList<GpoListing> named;
        for (const GpoListing& listing : gpoFolders(sysvol))
            if (!listing.name.isEmpty() && listing.name.compare(gpo, Qt::CaseInsensitive) == 0)
                named.append(listing);
        if (named.size() != 1)
            return fail(QStringLiteral("GPO \"%1\" was not found: %2").arg(gpo, found.m_directoryProblem));
        found.m_guid = named.first().guid;
    }
    for (const QString& policies : policiesFolders(sysvol)) {
        const QString folder = findEntryIgnoringCase(policies, found.m_guid);
        if (QFileInfo(folder).isSymLink())
            return fail(linkRefusal(folder));
        if (!folder.isEmpty() && QFileInfo(folder).isDir()) {
            found.m_folder = folder;
            break;
        }
    }
    if (found.m_folder.isEmpty())
        return fail(QStringLiteral("GPO %1 has no folder under %2").arg(found.m_guid, sysvol));
    for (const PolScope scope : kPolScopes)
        if (const QString half = QFileInfo(found.files().filePath(scope)).absolutePath();
            QFileInfo(half).isSymLink())
            return fail(linkRefusal(half));
    if (found.m_displayName.isEmpty())
        found.m_displayName = gptDisplayName(found.m_folder);
    return found;
}

QString GroupPolicyObject::name() const {
    return m_displayName.isEmpty() ? m_guid : m_displayName;
}

std::optional<GroupPolicyObject::Published>
GroupPolicyObject::publish(PolicyCommit& commit, const std::array<bool, 2>& holdsRecords, QString* error) {
    std::optional<GpoVersion> floor;
    if (m_container) {
        // Another program may have raised it since the GPO was found.
        QString why = directory().missingTool(true);
        if (!why.isEmpty()) {
            *error = why;
            return std::nullopt;
        }
        const std::optional<QList<GpoContainer>> again = directory().find(m_guid, &why);
        if (!again || again->size() != 1) {
            *error = QStringLiteral("the directory entry of GPO %1 cannot be read again: %2")
                         .arg(m_guid, again ? QStringLiteral("it is gone") : why);
            return std::nullopt;
        }
        m_container = again->first();
        if (!isOwnDn(m_container->dn, m_guid)) {
            *error = QStringLiteral("the directory gives GPO %1 the name \"%2\", which is not a GPO's own")
                         .arg(m_guid, m_container->dn);
            return std::nullopt;
        }
        floor = GpoVersion::fromNumber(m_container->version);
        if (!floor->raised(commit.changes(PolScope::User), commit.changes(PolScope::Machine), &why)) {
            *error =
                QStringLiteral("the versionNumber of GPO %1 in the directory %2: %3").arg(m_guid, m_url, why);
            return std::nullopt;
        }
    }
    if (!commit.prepare(floor, error) || !commit.write(error))
        return std::nullopt;
    Published published{commit.versionBefore(), commit.versionAfter(), {}, {}};
    if (!m_container)
        return published;
    GpoContainer updated = *m_container;
    updated.version = commit.versionAfter();
    if (holdsRecords[polIndex(PolScope::User)])
        updated.userExtensions = withRegistryExtension(updated.userExtensions, false);
    if (holdsRecords[polIndex(PolScope::Machine)])
        updated.machineExtensions = withRegistryExtension(updated.machineExtensions, true);
    const bool filesChanged = commit.changes(PolScope::User) || commit.changes(PolScope::Machine);
    if (filesChanged || updated.version != m_container->version) {
        QString why;
        if (!directory().update(updated, &why)) {
            commit.undo();
            *error = QStringLiteral("%1; the files were put back as they were").arg(why);
            return std::nullopt;
        }
    }
    published.directoryBefore = m_container->version;
    published.directoryAfter = updated.version;
    m_container = updated;
    return published;
}

} // namespace tavimor
