// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "GpoDirectory.h"
#include "PolicyFolder.h"

#include <QList>
#include <QString>
#include <array>
#include <optional>

namespace tavimor {

class PolicyCommit;

// What a GPO is found for, which decides what the directory's tools must do.
enum class GpoAccess {
    Read, // the files only: the directory is asked for a name alone
    Push, // the files and the directory: both of Samba's ldb tools must be there
    Edit, // a registry target: read as found, written only with the directory's entry
};

// A GPO as a SYSVOL folder shows it.
struct GpoListing {
    QString guid;   // "{...}"
    QString name;   // the directory's displayName, else GPT.INI's; "" when neither has one
    QString folder; // its folder under SYSVOL
};

// A Group Policy object of a domain: its folder in SYSVOL ({GUID} under a Policies folder, holding
// GPT.INI, User/Registry.pol and Machine/Registry.pol) and, where reachable, its entry in the
// directory, whose versionNumber clients compare with what they applied last.
class GroupPolicyObject {
public:
    // The GPO named by gpo (a display name or a GUID) under sysvol: the SYSVOL share, a domain's
    // folder in it or its Policies folder. url names the directory (ldb:// or ldap://); "" takes
    // the sam.ldb beside SYSVOL where there is one. A GUID is found in SYSVOL without a directory,
    // a name through it (or a GPT.INI's displayName). A {GUID}, User or Machine folder that is a
    // link is refused. neededBy names what needs a missing tool in the message ("gpo push").
    // nullopt with *error.
    static std::optional<GroupPolicyObject> find(const QString& sysvol, const QString& gpo,
                                                 const QString& url, GpoAccess access,
                                                 const QString& neededBy, QString* error);
    // Every GPO under sysvol in the order of their folders, named from the directory where it is
    // reachable, else from GPT.INI. *note says why the directory could not name them.
    static QList<GpoListing> list(const QString& sysvol, const QString& url, QString* note);

    const QString& guid() const { return m_guid; }
    const QString& folder() const { return m_folder; }
    // The display name, or the GUID when there is none.
    QString name() const;
    PolicyFolder files() const { return PolicyFolder(m_folder); }
    // Whether the GPO's directory entry was found; directoryProblem() says why not.
    bool hasDirectory() const { return m_container.has_value(); }
    const QString& directoryProblem() const { return m_directoryProblem; }
    const QString& url() const { return m_url; }
    GpoDirectory directory() const { return GpoDirectory(m_url, m_neededBy); }

    struct Published {
        quint32 gptBefore = 0;
        quint32 gptAfter = 0;
        std::optional<quint32> directoryBefore; // nullopt: there is no directory entry to update
        std::optional<quint32> directoryAfter;
    };
    // Writes what commit holds, raises GPT.INI's version and the directory's to the same number
    // (each half from the higher of the two) and lists the registry extension there for each half
    // whose file holds records. Whole or nothing: when the directory refuses, the files are put back.
    // Without a directory entry only the files and GPT.INI are written. nullopt with *error.
    std::optional<Published> publish(PolicyCommit& commit, const std::array<bool, 2>& holdsRecords,
                                     QString* error);

private:
    GroupPolicyObject() = default;

    QString m_guid;
    QString m_folder;
    QString m_displayName;
    QString m_url;
    QString m_neededBy;
    std::optional<GpoContainer> m_container;
    QString m_directoryProblem;
};

} // namespace tavimor
