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

// The directory through Samba's ldbsearch and ldbmodify, on a sam.ldb or an LDAP URL.
class GpoDirectory {
public:
    explicit GpoDirectory(const QString& url)
        : m_url(url) {}

    // The sam.ldb beside a domain controller's SYSVOL (PATH/../private or PATH/../../private);
    // "" when there is none.
    static QString urlBesideSysvol(const QString& sysvol);

    // The GPOs whose GUID or display name is given; nullopt with *error when the search fails.
    std::optional<QList<GpoContainer>> find(const QString& gpo, QString* error) const;
    // Sets versionNumber and both extension lists; false with *error.
    bool update(const GpoContainer& container, QString* error) const;

private:
    bool runTool(const QString& tool, const QStringList& args, const QByteArray& input, QByteArray* output,
                 QString* error) const;

    QString m_url;
};

// Parses ldbsearch's LDIF output into containers.
QList<GpoContainer> parseGpoLdif(const QByteArray& ldif);
// "{GUID}" when text is a GUID with or without braces, else "".
QString asGuid(const QString& text);

} // namespace tavimor
