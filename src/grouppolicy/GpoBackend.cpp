// SPDX-License-Identifier: GPL-3.0-or-later
#include "GpoBackend.h"

namespace tavimor {

std::unique_ptr<GpoBackend> GpoBackend::open(const QString& sysvol, const QString& gpo, const QString& url,
                                             const QString& name, QString* error) {
    std::optional<GroupPolicyObject> found = GroupPolicyObject::find(
        sysvol, gpo, url, GpoAccess::Edit, QString(QStringLiteral("The target ") + name), error);
    if (!found)
        return nullptr;
    std::unique_ptr<GpoBackend> backend(new GpoBackend(std::move(*found), name));
    if (const QString unread = backend->unreadable(); !unread.isEmpty()) {
        *error = unread;
        return nullptr;
    }
    return backend;
}

QString GpoBackend::writeRefusal() const {
    if (m_gpo.hasDirectory())
        return QString();
    return QStringLiteral("GPO %1 is not written: its version could not be raised in the directory, so "
                          "clients would not fetch it (%2). Add &url=ldb://.../sam.ldb or ldap://HOST "
                          "to the target, or use gpo push, which writes the files alone.")
        .arg(m_gpo.guid(), m_gpo.directoryProblem());
}

bool GpoBackend::publish(PolicyCommit& commit, const std::array<bool, 2>& holdsRecords, QString* error) {
    if (const QString refused = writeRefusal(); !refused.isEmpty()) {
        *error = refused;
        return false;
    }
    return m_gpo.publish(commit, holdsRecords, error).has_value();
}

} // namespace tavimor
