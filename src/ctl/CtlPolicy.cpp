// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlPolicy.h"

#include "base/FileLock.h"
#include "base/FileUtil.h"
#include "catalogue/CatalogueEntry.h"
#include "catalogue/CatalogueFiles.h"
#include "catalogue/PolicyFiles.h"
#include "catalogue/ProgramContext.h"
#include "catalogue/RegistrySync.h"
#include "catalogue/TemplatePolicyFiles.h"
#include "catalogue/TemplateStates.h"
#include "catalogue/UnreadTally.h"
#include "ctl/CtlEnvironment.h"
#include "ctl/CtlLookup.h"
#include "ctl/CtlOptions.h"
#include "ctl/CtlOutput.h"
#include "grouppolicy/PolicyCommit.h"
#include "grouppolicy/PolicyFolder.h"
#include "templates/PolicyReader.h"

#include <QDir>
#include <QFileInfo>

namespace tavimor {

namespace {

constexpr int kLockTimeoutMs = 3000;

QString scopeName(PolScope scope) {
    return scope == PolScope::User ? QStringLiteral("user") : QStringLiteral("machine");
}

} // namespace

QString CtlPolicy::shownPath(const QString& path) {
    return QDir::toNativeSeparators(QDir::cleanPath(path));
}

CtlPolicy::CtlPolicy(ProgramContext& context, const CtlOptions& options, CtlOutput& output)
    : m_context(context)
    , m_options(options)
    , m_output(output) {
}

CtlPolicy::~CtlPolicy() = default;

bool CtlPolicy::fail(const QString& text) {
    m_output.fail(text, kExitFailure);
    return false;
}

std::optional<XmlDocument> CtlPolicy::fromFile(const QString& path) {
    QString why;
    const std::optional<QByteArray> content = readWholeFile(path, kMaxSettingsFileSize, &why);
    if (!content) {
        fail(QStringLiteral("cannot read %1: %2").arg(path, why));
        return std::nullopt;
    }
    const QByteArray text = CatalogueFiles::decipherSettingsFile(*content, m_context.passPhrase, &why);
    if (!why.isEmpty()) {
        fail(QStringLiteral("%1 cannot be opened: %2").arg(path, why));
        return std::nullopt;
    }
    XmlDocument document;
    if (!text.contains("<REGISTRYSETTINGS") || !document.loadXML(text)) {
        fail(QStringLiteral("%1: Not a valid tavimor file").arg(path));
        return std::nullopt;
    }
    return document;
}

std::optional<std::array<PolMerge, 2>> CtlPolicy::plan(const PolicyFolder& folder) {
    QList<PolicyValue> values;
    std::optional<XmlDocument> document;
    if (!m_options.from.isEmpty()) {
        document = fromFile(m_options.from);
        if (!document)
            return std::nullopt;
        values = catalogueValues(*document, configuredValue);
    } else {
        // What the registry holds now; a value that is not there is not configured.
        UnreadTally unread;
        values = catalogueValues(m_context.machineCatalogue, [&](const CatalogueEntry& entry) {
            QString why;
            const std::optional<quint32> value = registryValue(m_context.registry, entry, &why);
            if (!why.isEmpty())
                unread.add(entry.text("KEY"), why);
            return value;
        });
        // A value that could not be read would go into the files as not configured.
        if (!unread.isEmpty()) {
            m_output.reportUnread(unread, kExitFailure);
            fail(QStringLiteral("nothing was written"));
            return std::nullopt;
        }
    }
    // Held until this command ends, so that no other Tavimor rewrites the files in between.
    QString error;
    m_lock = std::make_unique<FileLock>(folder.lockPath());
    if (!QDir().mkpath(folder.folder()) || !m_lock->tryLock(kLockTimeoutMs, &error)) {
        fail(error.isEmpty() ? QStringLiteral("cannot make the folder %1").arg(folder.folder()) : error);
        return std::nullopt;
    }
    std::array<PolFile, 2> existing;
    if (!folder.read(existing, &error)) {
        fail(error + QStringLiteral("; nothing was written"));
        return std::nullopt;
    }
    std::array<PolMerge, 2> merges;
    for (const PolScope scope : kPolScopes)
        merges[polIndex(scope)] =
            mergePolicy(existing[polIndex(scope)], scope, values, m_options.deleteUnset);
    // Template policies as the settings file says, or as the registry holds them now.
    if (m_context.templates) {
        const XmlDocument& source = document ? *document : m_context.machineCatalogue;
        for (const PolScope scope : kPolScopes)
            mergeTemplatePolicies(merges[polIndex(scope)], scope, *m_context.templates,
                                  [&source](const PolicyInstance& policy) {
                                      return TemplateStates::settingOf(source, policy);
                                  });
    }
    return merges;
}

bool CtlPolicy::write(const PolicyFolder& folder, const std::array<PolMerge, 2>& merges, bool makeEmpty,
                      const Publish& publish, GptUpdate gpt) {
    PolicyCommit commit(folder, gpt);
    for (const PolScope scope : kPolScopes) {
        const qsizetype i = polIndex(scope);
        const QByteArray bytes = merges[i].file.serialize();
        // Every file must read back as what was meant before anything is written.
        const std::optional<PolFile> again = PolFile::parse(bytes);
        if (!again || again->records != merges[i].file.records)
            return fail(
                QStringLiteral("%1 could not be laid out; nothing was written").arg(folder.filePath(scope)));
        // A file that holds these bytes already is left alone.
        const std::optional<QByteArray> current = folder.currentBytes(scope);
        if (current ? *current != bytes : makeEmpty || !merges[i].file.records.isEmpty())
            commit.setFile(scope, bytes);
    }
    QString error;
    const bool written =
        publish ? publish(commit, &error) : commit.prepare(std::nullopt, &error) && commit.write(&error);
    if (!written)
        return fail(error + QStringLiteral("; nothing was changed"));
    for (const PolScope scope : kPolScopes) {
        const qsizetype i = polIndex(scope);
        const PolMerge& merge = merges[i];
        const bool wrote = commit.changes(scope);
        m_wroteAny = m_wroteAny || wrote;
        qsizetype deletions = 0;
        for (const PolRecord& record : merge.file.records)
            deletions += record.isDeletion() ? 1 : 0;
        const QString path = shownPath(folder.filePath(scope));
        if (m_output.json()) {
            QJsonArray kept;
            for (const PolRecord& record : merge.kept)
                kept.append(recordTitle(scope, record));
            m_files.append(QJsonObject{{QStringLiteral("scope"), scopeName(scope)},
                                       {QStringLiteral("file"), path},
                                       {QStringLiteral("written"), wrote},
                                       {QStringLiteral("values"), merge.file.records.size() - deletions},
                                       {QStringLiteral("deletions"), deletions},
                                       {QStringLiteral("kept"), kept}});
            continue;
        }
        QTextStream& out = m_output.out();
        if (wrote)
            out << "Wrote " << path << " ("
                << counted(merge.file.records.size() - deletions, "value", "values") << ", "
                << counted(deletions, "deletion", "deletions") << ")." << Qt::endl;
        else
            out << path << " is unchanged." << Qt::endl;
        for (const PolRecord& record : merge.kept)
            out << "  kept, not in the catalogue: " << recordTitle(scope, record) << Qt::endl;
    }
    return true;
}

bool CtlPolicy::loadIntoWorking(const PolicyFolder& folder, bool listSet, QStringList* setAddresses) {
    std::array<PolFile, 2> files;
    QString error;
    if (!folder.read(files, &error))
        return fail(error);
    m_context.workingCatalogue.copyFrom(m_context.machineCatalogue);
    std::array<PolImport, 2> imports;
    for (const PolScope scope : kPolScopes) {
        // Records of template policies are read below, not listed as unknown.
        const std::optional<TemplatePlaces> places =
            m_context.templates ? std::optional(TemplatePlaces(*m_context.templates, scope)) : std::nullopt;
        importPolicy(m_context.workingCatalogue, scope, files[polIndex(scope)], imports[polIndex(scope)],
                     [&places](const PolRecord& record) { return places && places->owns(record); });
    }
    m_loaded = true;
    if (m_context.templates)
        loadTemplates(files, listSet, setAddresses);
    const CtlLookup lookup(m_context.workingCatalogue);
    const bool json = m_output.json();
    for (const PolScope scope : kPolScopes) {
        const PolImport& result = imports[polIndex(scope)];
        if (setAddresses)
            *setAddresses += result.setAddresses;
        for (const QString& address : result.setAddresses) {
            const CatalogueEntry entry(m_context.workingCatalogue.selectSingleNode(address));
            const QString value = entry.currentValue().text();
            if (listSet && json) {
                QJsonObject object = jsonEntryHeader(entry, address);
                object.insert(QStringLiteral("value"), jsonValueText(value));
                m_set.append(object);
            } else if (listSet) {
                m_output.out() << lookup.title(address) << ": " << value << Qt::endl;
            }
        }
        // Records that change nothing, each with the reason; a command that only reads the files
        // for another purpose (diff, apply) tells them as messages.
        const auto leave = [&](const QList<PolRecord>& records, const char* reason, const char* prefix,
                               const char* suffix) {
            for (const PolRecord& record : records) {
                const QString title = recordTitle(scope, record);
                if (listSet && json)
                    m_left.append(QJsonObject{{QStringLiteral("value"), title},
                                              {QStringLiteral("reason"), QLatin1String(reason)}});
                else if (listSet)
                    m_output.out() << prefix << title << suffix << Qt::endl;
                else
                    m_output.note(QLatin1String(prefix) + title + QLatin1String(suffix));
            }
        };
        leave(result.deletions, "deletes a value", "left as it is: ", " deletes a value");
        leave(result.unusable, "not a REG_DWORD", "left as it is: ", " is not a REG_DWORD");
        leave(result.unknown, "not in the catalogue", "not in the catalogue: ", "");
    }
    return true;
}

void CtlPolicy::loadTemplates(const std::array<PolFile, 2>& files, bool listSet, QStringList* setAddresses) {
    PolRecordView view(files);
    const TemplateSet& set = *m_context.templates;
    for (const PolicyInstance& policy : set.policies()) {
        const PolicyReading reading = PolicyReader::read(view, policy);
        if (reading.setting.state == PolicyState::NotConfigured)
            continue;
        TemplateStates::store(m_context.workingCatalogue, set, policy, reading.setting, reading.found);
        if (setAddresses)
            setAddresses->append(policy.name());
        const QString state = policyStateText(reading.setting.state);
        const bool unread = reading.setting.state == PolicyState::Unread;
        if (listSet && m_output.json()) {
            QJsonObject object{{QStringLiteral("policy"), policy.name()}, {QStringLiteral("state"), state}};
            if (unread)
                object.insert(QStringLiteral("reason"), reading.unreadReason);
            m_set.append(object);
        } else if (listSet) {
            m_output.out() << policy.name() << ": " << state
                           << (unread ? QStringLiteral(" (%1)").arg(reading.unreadReason) : QString())
                           << Qt::endl;
        }
    }
}

bool CtlPolicy::saveWorking(const QString& path) {
    CatalogueView view;
    if (!CatalogueFiles(m_context, view).WriteSettingsFile(QFileInfo(path).absoluteFilePath()))
        return fail(QStringLiteral("cannot write %1").arg(path));
    m_saved = path;
    if (!m_output.json())
        m_output.out() << "Wrote " << path << "." << Qt::endl;
    return true;
}

QJsonObject CtlPolicy::jsonResult() const {
    if (!m_loaded)
        return {{QStringLiteral("files"), m_files}};
    return {{QStringLiteral("set"), m_set},
            {QStringLiteral("left"), m_left},
            {QStringLiteral("saved"), m_saved.isEmpty() ? QJsonValue() : QJsonValue(m_saved)}};
}

int CtlPolicy::exportPol() {
    const PolicyFolder folder(QFileInfo(m_options.arguments.first()).absoluteFilePath());
    const std::optional<std::array<PolMerge, 2>> merges = plan(folder);
    if (!merges || !write(folder, *merges, true))
        return kExitFailure;
    if (m_output.json()) {
        QJsonObject result = jsonResult();
        result.insert(QStringLiteral("folder"), shownPath(folder.folder()));
        m_output.printJson(result);
    }
    return kExitOk;
}

int CtlPolicy::importPol() {
    const QString dir = m_options.arguments.first();
    if (!QFileInfo(dir).isDir())
        return m_output.fail(QStringLiteral("%1 is not a folder").arg(dir), kExitFailure);
    const PolicyFolder folder(QFileInfo(dir).absoluteFilePath());
    if (!loadIntoWorking(folder, true))
        return kExitFailure;
    if (m_options.arguments.size() > 1 && !saveWorking(m_options.arguments.at(1)))
        return kExitFailure;
    if (m_output.json()) {
        QJsonObject result = jsonResult();
        result.insert(QStringLiteral("folder"), shownPath(folder.folder()));
        m_output.printJson(result);
    }
    return kExitOk;
}

} // namespace tavimor
