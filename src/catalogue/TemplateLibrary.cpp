// SPDX-License-Identifier: GPL-3.0-or-later
#include "TemplateLibrary.h"

#include "base/Prompter.h"
#include "catalogue/ProgramContext.h"
#include "catalogue/TemplateSources.h"
#include "settings/SettingsStore.h"
#include "templates/TemplateFolders.h"

#include <QDir>
#include <QFileInfo>

namespace tavimor {

TemplateLibrary::TemplateLibrary(ProgramContext& context, const QString& environment)
    : m_context(context)
    , m_environment(environment) {
}

TemplateLibrary::~TemplateLibrary() {
    if (m_set && m_context.templates == m_set.get())
        m_context.templates = nullptr;
}

QStringList TemplateLibrary::load() {
    QStringList problems;
    const QStringList folders = templateFoldersFor(m_context.target, m_environment, m_context.settings);
    auto set = folders.isEmpty() ? nullptr
                                 : std::make_unique<TemplateSet>(
                                       TemplateFolders::load(folders, TemplateFolders::systemLanguage()));
    if (set) {
        for (const TemplateProblem& problem : set->problems())
            if (!problem.loaded)
                problems.append(problem.path + QStringLiteral(": ") + problem.reason);
    }
    // The old set goes only once the context no longer points to it.
    m_context.templates = set.get();
    m_set = std::move(set);
    m_folders = folders;
    return problems;
}

QStringList TemplateLibrary::followTarget() {
    if (templateFoldersFor(m_context.target, m_environment, m_context.settings) == m_folders)
        return {};
    return load();
}

QString TemplateLibrary::problemsText(const QStringList& problems) {
    return tr("These templates could not be loaded:\n%1").arg(problems.join(QLatin1Char('\n')));
}

void TemplateLibrary::tell(const QStringList& problems) const {
    if (!problems.isEmpty())
        m_context.prompter.message(problemsText(problems), QLatin1String(kAppTitle), MessageIcon::Exclamation,
                                   MessageButtons::Ok);
}

QStringList TemplateLibrary::environmentFolders() const {
    return TemplateFolders::split(m_environment);
}

std::optional<QStringList> TemplateLibrary::savedFolders(QString* why) const {
    const std::optional<QString> saved =
        m_context.settings.read(QLatin1String(kTemplateFoldersKey), QString());
    if (!saved) {
        *why = m_context.settings.lastError();
        return std::nullopt;
    }
    return TemplateFolders::split(*saved);
}

bool TemplateLibrary::saveFolders(const QStringList& folders, QString* why, QStringList* problems) {
    QStringList kept;
    for (const QString& given : folders) {
        const QString folder = QDir::cleanPath(given.trimmed());
        if (given.trimmed().isEmpty())
            continue;
        // The setting separates folders with colons, as PATH does.
        if (folder.contains(QLatin1Char(':'))) {
            *why = tr("The folder %1 holds a colon, which separates the folders in the setting.").arg(folder);
            return false;
        }
        if (!QFileInfo(folder).isDir()) {
            *why = tr("The folder %1 does not exist.").arg(folder);
            return false;
        }
        if (!kept.contains(folder))
            kept.append(folder);
    }
    if (!m_context.settings.save(QLatin1String(kTemplateFoldersKey), TemplateFolders::join(kept))) {
        *why = m_context.settings.lastError();
        return false;
    }
    *problems = load();
    return true;
}

} // namespace tavimor
