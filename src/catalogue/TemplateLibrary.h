// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QStringList>
#include <memory>
#include <optional>

namespace tavimor {

class ProgramContext;
class TemplateSet;

// The Administrative Templates the window has loaded, and the list of template folders the user
// keeps in the program settings. The set lives here; the context points to it while one is loaded.
class TemplateLibrary {
    Q_DECLARE_TR_FUNCTIONS(TemplateLibrary)

public:
    // environment: TAVIMOR_TEMPLATES as the program found it.
    TemplateLibrary(ProgramContext& context, const QString& environment);
    ~TemplateLibrary();
    TemplateLibrary(const TemplateLibrary&) = delete;
    TemplateLibrary& operator=(const TemplateLibrary&) = delete;

    // Loads the templates of the environment's and the setting's folders into the context, and on
    // a GPO those of its domain's central store; with none the context has none. Returns the files
    // that could not be loaded, as "PATH: REASON" lines.
    QStringList load();
    // Loads again when the registry now worked on reads other folders than those loaded (a GPO
    // brings its domain's templates, leaving it takes them away); else returns nothing.
    QStringList followTarget();
    // The message that tells the user of load()'s problems.
    static QString problemsText(const QStringList& problems);
    // Shows that message, when there are problems.
    void tell(const QStringList& problems) const;
    // The folders of TAVIMOR_TEMPLATES, loaded beside the setting's but not kept in it.
    QStringList environmentFolders() const;
    // The folders kept in the program settings; nullopt with *why when the store cannot be read.
    std::optional<QStringList> savedFolders(QString* why) const;
    // Keeps the folders in the program settings and loads the templates again; the caller refreshes
    // the catalogues; *problems receives what load() returns. false with *why when a folder cannot
    // be kept or the store not written, and then nothing changes.
    bool saveFolders(const QStringList& folders, QString* why, QStringList* problems);

private:
    ProgramContext& m_context;
    QString m_environment;
    QStringList m_folders; // those of the set loaded last
    std::unique_ptr<TemplateSet> m_set;
};

} // namespace tavimor
