// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlPolicy.h"

#include "base/FileUtil.h"
#include "catalogue/CatalogueEntry.h"
#include "catalogue/CatalogueFiles.h"
#include "catalogue/PolicyFolder.h"
#include "catalogue/ProgramContext.h"
#include "catalogue/RegistrySync.h"
#include "ctl/CtlEnvironment.h"
#include "ctl/CtlLookup.h"
#include "ctl/CtlOptions.h"
#include "ctl/CtlOutput.h"

#include <QDir>
#include <QFileInfo>

namespace tavimor {

namespace {

QString shownPath(const QString& path) {
    return QDir::toNativeSeparators(QDir::cleanPath(path));
}

} // namespace

CtlPolicy::CtlPolicy(ProgramContext& context, const CtlOptions& options, CtlEnvironment& env)
    : m_context(context)
    , m_options(options)
    , m_env(env) {
}

int CtlPolicy::fail(const QString& text) {
    m_env.err << "tavimorctl: " << text << Qt::endl;
    return kExitFailure;
}

std::optional<XmlDocument> CtlPolicy::fromFile(const QString& path) {
    const std::optional<QByteArray> content = readWholeFile(path, kMaxSettingsFileSize);
    if (!content) {
        fail(QStringLiteral("cannot read %1").arg(path));
        return std::nullopt;
    }
    const QByteArray text = CatalogueFiles::decipherSettingsFile(*content, m_context.passPhrase);
    XmlDocument document;
    if (!text.contains("<REGISTRYSETTINGS") || !document.loadXML(text)) {
        fail(QStringLiteral("%1: Not a valid tavimor file").arg(path));
        return std::nullopt;
    }
    return document;
}

std::optional<std::array<PolMerge, 2>> CtlPolicy::plan(const PolicyFolder& folder) {
    QList<PolicyValue> values;
    if (!m_options.from.isEmpty()) {
        const std::optional<XmlDocument> document = fromFile(m_options.from);
        if (!document)
            return std::nullopt;
        values = catalogueValues(*document, configuredValue);
    } else {
        // What the registry holds now; a value that is not there is not configured.
        values = catalogueValues(m_context.machineCatalogue, [this](const CatalogueEntry& entry) {
            return registryValue(m_context.registry, entry);
        });
    }
    std::array<PolFile, 2> existing;
    QString error;
    if (!folder.read(existing, &error)) {
        fail(error + QStringLiteral("; nothing was written"));
        return std::nullopt;
    }
    std::array<PolMerge, 2> merges;
    for (const PolScope scope : kPolScopes)
        merges[polIndex(scope)] =
            mergePolicy(existing[polIndex(scope)], scope, values, m_options.deleteUnset);
    return merges;
}

bool CtlPolicy::write(const PolicyFolder& folder, const std::array<PolMerge, 2>& merges, bool onlyChanged,
                      std::array<bool, 2>* changed) {
    std::array<QByteArray, 2> bytes;
    std::array<bool, 2> writes{};
    for (const PolScope scope : kPolScopes) {
        const qsizetype i = polIndex(scope);
        bytes[i] = merges[i].file.serialize();
        // Every file must read back as what was meant before anything is written.
        const std::optional<PolFile> again = PolFile::parse(bytes[i]);
        if (!again || again->records != merges[i].file.records) {
            fail(QStringLiteral("%1 could not be laid out; nothing was written").arg(folder.filePath(scope)));
            return false;
        }
        // A file that is not there and would hold nothing is as good as unchanged.
        const std::optional<QByteArray> current = onlyChanged ? folder.currentBytes(scope) : std::nullopt;
        writes[i] = !onlyChanged || (current ? *current != bytes[i] : !merges[i].file.records.isEmpty());
    }
    for (const PolScope scope : kPolScopes) {
        const qsizetype i = polIndex(scope);
        const PolMerge& merge = merges[i];
        if (writes[i]) {
            QString error;
            if (!folder.write(scope, bytes[i], &error)) {
                fail(error);
                return false;
            }
            qsizetype deletions = 0;
            for (const PolRecord& record : merge.file.records)
                deletions += record.isDeletion() ? 1 : 0;
            m_env.out << "Wrote " << shownPath(folder.filePath(scope)) << " ("
                      << counted(merge.file.records.size() - deletions, "value", "values") << ", "
                      << counted(deletions, "deletion", "deletions") << ")." << Qt::endl;
        } else {
            m_env.out << shownPath(folder.filePath(scope)) << " is unchanged." << Qt::endl;
        }
        for (const PolRecord& record : merge.kept)
            m_env.out << "  kept, not in the catalogue: " << recordTitle(scope, record) << Qt::endl;
        if (changed)
            (*changed)[i] = writes[i];
    }
    return true;
}

bool CtlPolicy::loadIntoWorking(const PolicyFolder& folder, bool listSet, QStringList* setAddresses) {
    std::array<PolFile, 2> files;
    QString error;
    if (!folder.read(files, &error)) {
        fail(error);
        return false;
    }
    m_context.workingCatalogue.copyFrom(m_context.machineCatalogue);
    std::array<PolImport, 2> imports;
    for (const PolScope scope : kPolScopes)
        importPolicy(m_context.workingCatalogue, scope, files[polIndex(scope)], imports[polIndex(scope)]);
    const CtlLookup lookup(m_context.workingCatalogue);
    QTextStream& notes = listSet ? m_env.out : m_env.err;
    for (const PolScope scope : kPolScopes) {
        const PolImport& result = imports[polIndex(scope)];
        if (setAddresses)
            *setAddresses += result.setAddresses;
        if (listSet) {
            for (const QString& address : result.setAddresses)
                m_env.out << lookup.title(address) << ": "
                          << CatalogueEntry(m_context.workingCatalogue.selectSingleNode(address))
                                 .currentValue()
                                 .text()
                          << Qt::endl;
        }
        for (const PolRecord& record : result.deletions)
            notes << "left as it is: " << recordTitle(scope, record) << " deletes a value" << Qt::endl;
        for (const PolRecord& record : result.unusable)
            notes << "left as it is: " << recordTitle(scope, record) << " is not a REG_DWORD" << Qt::endl;
        for (const PolRecord& record : result.unknown)
            notes << "not in the catalogue: " << recordTitle(scope, record) << Qt::endl;
    }
    return true;
}

bool CtlPolicy::saveWorking(const QString& path) {
    CatalogueView view;
    if (!CatalogueFiles(m_context, view).WriteSettingsFile(QFileInfo(path).absoluteFilePath())) {
        fail(QStringLiteral("cannot write %1").arg(path));
        return false;
    }
    m_env.out << "Wrote " << path << "." << Qt::endl;
    return true;
}

int CtlPolicy::exportPol() {
    const PolicyFolder folder(QFileInfo(m_options.arguments.first()).absoluteFilePath());
    const std::optional<std::array<PolMerge, 2>> merges = plan(folder);
    if (!merges)
        return kExitFailure;
    return write(folder, *merges, false) ? kExitOk : kExitFailure;
}

int CtlPolicy::importPol() {
    const QString dir = m_options.arguments.first();
    if (!QFileInfo(dir).isDir())
        return fail(QStringLiteral("%1 is not a folder").arg(dir));
    if (!loadIntoWorking(PolicyFolder(QFileInfo(dir).absoluteFilePath()), true))
        return kExitFailure;
    if (m_options.arguments.size() > 1 && !saveWorking(m_options.arguments.at(1)))
        return kExitFailure;
    return kExitOk;
}

} // namespace tavimor
