// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "registry/RegistryBackend.h"

#include <QHash>
#include <QStringList>

namespace tavimor {

// The registry as reading a policy's state needs it: a value, and the names of a key's values (a
// list element's entries). Each answer is present, absent (the key or value is not there), or
// unread (the target failed to tell): an unread value is never taken for an absent one. A Group
// Policy file also says that a value is deleted ("**del.", "**delvals."), which is absent and more:
// it is how a policy's disabled form made of deletions is seen.
class PolicyRegistryView {
public:
    enum class Status : quint8 { Present, Absent, Unread, Deleted };
    virtual ~PolicyRegistryView() = default;
    virtual Status value(HKEY hive, const QString& key, const QString& name, RegValue* value) = 0;
    virtual Status valueNames(HKEY hive, const QString& key, QStringList* names) = 0;
    // Why the last unread answer was unread, in the target's words; "" when it gives none.
    virtual QString unreadReason() const { return QString(); }
};

// Over a registry target; a Group Policy file's stated deletions read as Deleted. A key is opened
// once for all the values read from it in one view, so a view lives for one refresh: it does not see
// changes made after a key was first read.
class BackendPolicyView : public PolicyRegistryView {
public:
    explicit BackendPolicyView(RegistryBackend& backend)
        : m_backend(backend) {}
    ~BackendPolicyView() override;
    BackendPolicyView(const BackendPolicyView&) = delete;
    BackendPolicyView& operator=(const BackendPolicyView&) = delete;

    Status value(HKEY hive, const QString& key, const QString& name, RegValue* value) override;
    Status valueNames(HKEY hive, const QString& key, QStringList* names) override;
    QString unreadReason() const override { return m_reason; }

private:
    struct Key {
        Status status = Status::Absent;
        HKEY handle = 0;
    };
    // The key opened, or why not.
    Key& open(HKEY hive, const QString& key);
    // Deleted when a target that keeps stated deletions holds the record ("**del.NAME",
    // "**delvals."), else Absent.
    Status stated(HKEY key, const QString& record);
    Status unread(long status);

    RegistryBackend& m_backend;
    QHash<QString, Key> m_keys; // by hive and lower-case path
    QString m_reason;
};

} // namespace tavimor
