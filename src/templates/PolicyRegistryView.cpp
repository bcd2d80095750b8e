// SPDX-License-Identifier: GPL-3.0-or-later
#include "PolicyRegistryView.h"

namespace tavimor {

BackendPolicyView::~BackendPolicyView() {
    for (const Key& key : std::as_const(m_keys))
        if (key.status == Status::Present)
            m_backend.closeKey(key.handle);
}

PolicyRegistryView::Status BackendPolicyView::unread(long status) {
    m_reason = m_backend.lastError();
    if (m_reason.isEmpty())
        m_reason = QStringLiteral("the target answered with status %1").arg(status);
    return Status::Unread;
}

BackendPolicyView::Key& BackendPolicyView::open(HKEY hive, const QString& key) {
    const QString id = QString::number(hive) + QLatin1Char('\\') + key.toLower();
    const auto found = m_keys.find(id);
    if (found != m_keys.end())
        return *found;
    Key opened;
    const long status = m_backend.openKey(hive, key, KEY_TAVIMOR_ACCESS, &opened.handle);
    if (status == ERROR_SUCCESS)
        opened.status = Status::Present;
    else if (status == ERROR_FILE_NOT_FOUND)
        opened.status = Status::Absent;
    else
        opened.status = unread(status);
    return *m_keys.insert(id, opened);
}

PolicyRegistryView::Status BackendPolicyView::value(HKEY hive, const QString& key, const QString& name,
                                                    RegValue* value) {
    const Key& opened = open(hive, key);
    if (opened.status != Status::Present)
        return opened.status;
    quint32 size = 0;
    long status = m_backend.queryValue(opened.handle, name, &value->type, nullptr, &size);
    if (status == ERROR_SUCCESS)
        status = m_backend.queryValue(opened.handle, name, &value->type, &value->data, &size);
    if (status == ERROR_SUCCESS)
        return Status::Present;
    if (status != ERROR_FILE_NOT_FOUND)
        return unread(status);
    return stated(opened.handle, QStringLiteral("**del.") + name);
}

PolicyRegistryView::Status BackendPolicyView::stated(HKEY key, const QString& record) {
    if (!m_backend.keepsStatedDeletions())
        return Status::Absent;
    quint32 type = 0;
    quint32 size = 0;
    const long status = m_backend.queryValue(key, record, &type, nullptr, &size);
    if (status == ERROR_SUCCESS)
        return Status::Deleted;
    return status == ERROR_FILE_NOT_FOUND ? Status::Absent : unread(status);
}

PolicyRegistryView::Status BackendPolicyView::valueNames(HKEY hive, const QString& key, QStringList* names) {
    names->clear();
    const Key& opened = open(hive, key);
    if (opened.status != Status::Present)
        return opened.status;
    const long status = m_backend.valueNames(opened.handle, names);
    if (status != ERROR_SUCCESS)
        return status == ERROR_FILE_NOT_FOUND ? Status::Absent : unread(status);
    const Status emptied =
        names->isEmpty() ? stated(opened.handle, QStringLiteral("**delvals.")) : Status::Absent;
    return emptied == Status::Absent ? Status::Present : emptied;
}

} // namespace tavimor
