// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace tavimor {

// A GPO's entry in the domain's directory (its groupPolicyContainer).
struct GpoContainer {
    QString dn;
    QString guid; // "{...}", the folder's name in SYSVOL
    QString displayName;
    quint32 version = 0;
    QString userExtensions;
    QString machineExtensions;
};

// The directory through Samba's ldbsearch and ldbmodify, on a sam.ldb or an LDAP URL; neededBy names
// the command in the message for a missing tool ("gpo push").
class GpoDirectory {
public:
    GpoDirectory(const QString& url, const QString& neededBy)
        : m_url(url)
        , m_neededBy(neededBy) {}

    // The sam.ldb beside a domain controller's SYSVOL (PATH/../private or PATH/../../private);
    // "" when there is none.
    static QString urlBesideSysvol(const QString& sysvol);

    // "" when the tools for find (and update) are installed, else which one is missing and its package.
    QString missingTool(bool forUpdate) const;
    // The GPOs whose GUID or display name is given, every GPO for ""; nullopt with *error when the
    // search fails.
    std::optional<QList<GpoContainer>> find(const QString& gpo, QString* error) const;
    // Sets versionNumber and both extension lists; false with *error, also for a dn that is not a
    // GPO's own entry (CN={GUID},CN=Policies,CN=System,DC=...).
    bool update(const GpoContainer& container, QString* error) const;

private:
    bool runTool(const QString& tool, const QStringList& args, const QByteArray& input, QByteArray* output,
                 QString* error) const;

    QString m_url;
    QString m_neededBy;
};

// Parses ldbsearch's LDIF output into containers.
QList<GpoContainer> parseGpoLdif(const QByteArray& ldif);
// Whether dn is the directory entry of the GPO guid.
bool isOwnDn(const QString& dn, const QString& guid);
// "{GUID}" when text is a GUID with or without braces, else "".
QString asGuid(const QString& text);

} // namespace tavimor
