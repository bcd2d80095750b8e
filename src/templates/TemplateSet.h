// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AdmxModel.h"

#include <QHash>
#include <memory>
#include <vector>

namespace tavimor {

// One ADMX file of a set with the ADML of the language chosen (empty when none was found).
struct TemplateFile {
    AdmxFile admx;
    AdmlFile adml;
};

// A file that could not be loaded, or a note about one that was (no ADML found): the path and why.
struct TemplateProblem {
    QString path;
    QString reason;
    bool loaded = false; // the file was loaded all the same
};

// A policy as the user meets it: once per class it applies to, so a policy of class Both is two
// of these, one for the computer (HKEY_LOCAL_MACHINE) and one for the user (HKEY_CURRENT_USER).
struct PolicyInstance {
    const TemplateFile* file = nullptr;
    const AdmxPolicy* policy = nullptr;
    PolicyClass scope = PolicyClass::Machine; // Machine or User, never Both

    HKEY hive() const { return scope == PolicyClass::User ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }
    QString hiveName() const;
    const QString& templateNamespace() const { return file->admx.targetNamespace; }
    // "firefox:DisablePrivateBrowsing", with "machine/" or "user/" before it for class Both: the
    // name users type, unique within a set.
    QString name() const;
    // "Machine" or "User", as settings files keep it.
    QString scopeName() const;
};

// The templates loaded together: references between files resolved through each file's
// namespaces. A reference that does not resolve (a product of a file not loaded, a definition a
// file never makes) is kept and shown by its name; it never stops a file from loading. A set is
// built once (add, then finish) and then only read, so pointers into it stay valid while it lives.
class TemplateSet {
public:
    TemplateSet() = default;
    TemplateSet(const TemplateSet&) = delete;
    TemplateSet& operator=(const TemplateSet&) = delete;
    TemplateSet(TemplateSet&&) = default;
    TemplateSet& operator=(TemplateSet&&) = default;

    // A file whose target namespace an earlier file has is not used and becomes a problem.
    void add(TemplateFile file);
    // The path of the file loaded with that target namespace; "" when none is.
    QString pathOf(const QString& templateNamespace) const;
    void addProblem(const TemplateProblem& problem) { m_problems.append(problem); }
    // Builds the indexes and the policy list; call once after the last add.
    void finish();

    bool isEmpty() const { return m_files.empty(); }
    const std::vector<std::unique_ptr<TemplateFile>>& files() const { return m_files; }
    const QList<PolicyInstance>& policies() const { return m_policies; }
    const QList<TemplateProblem>& problems() const { return m_problems; }

    // The text a "$(string.ID)" reference stands for in the file's ADML; the reference itself when
    // the ADML has no such string, any other text as it is.
    static QString text(const TemplateFile& file, const QString& raw);
    QString displayName(const PolicyInstance& policy) const {
        return text(*policy.file, policy.policy->displayName);
    }
    QString explainText(const PolicyInstance& policy) const {
        return text(*policy.file, policy.policy->explainText);
    }
    // The supportedOn definition's text, or the reference as written when it does not resolve.
    QString supportedOnText(const PolicyInstance& policy) const;
    // The category names from the outermost down; a parent that does not resolve is its reference.
    QStringList categoryPath(const PolicyInstance& policy) const;
    // The controls of the policy's presentation in its ADML; empty when there is none.
    QList<PresentationControl> presentation(const PolicyInstance& policy) const;

    const PolicyInstance* find(const QString& templateNamespace, const QString& name,
                               PolicyClass scope) const;
    // By name() as users type it, the prefix and the class words matched without regard to case;
    // a policy of class Both named without its class gives both.
    QList<const PolicyInstance*> findByName(const QString& name) const;
    // References no loaded file defines: "path: line N: kind reference".
    QStringList unresolvedReferences() const;

private:
    struct Found {
        const TemplateFile* file = nullptr;
        qsizetype index = -1;
    };
    // A "prefix:name" or "name" reference of file to a definition of another (or the same) file.
    Found resolve(const QHash<QString, Found>& index, const TemplateFile& file, const QString& ref) const;
    static QString keyOf(const QString& space, const QString& name) { return space + QChar(0) + name; }

    std::vector<std::unique_ptr<TemplateFile>> m_files;
    QList<PolicyInstance> m_policies;
    QList<TemplateProblem> m_problems;
    QHash<QString, Found> m_categories;  // by namespace and name
    QHash<QString, Found> m_supportedOn; // by namespace and name
    QHash<QString, qsizetype> m_byKey;   // namespace, name and class -> index in m_policies
};

} // namespace tavimor
