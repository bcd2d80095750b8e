#include "CtlFiles.h"

#include "base/FileUtil.h"
#include "catalogue/CatalogueCheck.h"
#include "catalogue/CatalogueEntry.h"
#include "catalogue/CatalogueFiles.h"
#include "catalogue/PolicyFolder.h"
#include "catalogue/ProgramContext.h"
#include "catalogue/RegistrySync.h"
#include "ctl/CtlEnvironment.h"
#include "ctl/CtlLookup.h"
#include "ctl/CtlOptions.h"
#include "ctl/CtlPolicy.h"
#include "registry/RegDatum.h"

#include <QFileInfo>
#include <map>

namespace tavimor {

namespace {

QString shown(const QString& value) {
    return value.isEmpty() ? QStringLiteral("(empty)") : value;
}

struct DiffItem {
    QString title;
    QString value;
};

std::map<std::pair<int, int>, DiffItem> entriesByPosition(const XmlDocument& catalogue) {
    std::map<std::pair<int, int>, DiffItem> items;
    forEachEntry(catalogue, [&](const CatalogueEntry& entry, int s, int e) {
        items[{s, e}] = {entry.section() + QLatin1Char('/') + entry.text("NAME"),
                         entry.currentValue().text()};
    });
    return items;
}

} // namespace

CtlFiles::CtlFiles(ProgramContext& context, const CtlOptions& options, CtlEnvironment& env)
    : m_context(context)
    , m_options(options)
    , m_env(env) {
}

int CtlFiles::fail(const QString& text) {
    m_env.err << "tavimorctl: " << text << Qt::endl;
    return kExitFailure;
}

bool CtlFiles::loadIntoWorking() {
    // The core takes a bare name from the program folder; here names are the user's own.
    QString path = QFileInfo(m_options.arguments.first()).absoluteFilePath();
    if (QFileInfo(path).isDir())
        return CtlPolicy(m_context, m_options, m_env).loadIntoWorking(PolicyFolder(path), false);
    CatalogueView view;
    CatalogueFiles files(m_context, view);
    if (!files.LoadSettingsFile(path)) {
        fail(QStringLiteral("cannot load %1").arg(m_options.arguments.first()));
        return false;
    }
    if (m_context.workingCatalogue.documentElement().isNull()) {
        fail(QStringLiteral("%1 does not hold a readable catalogue: %2")
                 .arg(m_options.arguments.first(), m_context.workingCatalogue.loadError()));
        return false;
    }
    return true;
}

QString CtlFiles::firstUnwritableEntry() const {
    QString found;
    forEachEntry(m_context.machineCatalogue, [&](const CatalogueEntry& entry, int, int) {
        if (!found.isEmpty())
            return;
        const QString title = entry.section() + QLatin1Char('/') + entry.text("NAME");
        const QString type = entry.datatype();
        if (entry.currentValue().isNull())
            found = title + QStringLiteral(" has no VALUES/CURRENTVALUE");
        else if ((type == QLatin1String("BOOLEAN") || type == QLatin1String("NUMERIC")) &&
                 !toLong(entry.currentValue().text().toUpper()))
            found = QStringLiteral("%1: \"%2\" is not a number").arg(title, entry.currentValue().text());
    });
    return found;
}

int CtlFiles::apply() {
    if (!loadIntoWorking())
        return kExitFailure;
    // What a Yes to the pending-changes question does.
    m_context.machineCatalogue.copyFrom(m_context.workingCatalogue);
    QList<AppliedValue> changed;
    const bool complete = ApplyMachineCatalogue(m_context, &changed);
    // Named before the refresh replaces the value that stopped the pass.
    const QString stoppedAt = complete ? QString() : firstUnwritableEntry();
    RefreshCurrentValues(m_context, QLatin1String(kAllEntries));
    const CtlLookup lookup(m_context.machineCatalogue);
    for (const AppliedValue& value : changed)
        m_env.out << lookup.title(value.address) << ": "
                  << (value.before.isEmpty() ? QStringLiteral("(not set)") : value.before) << " -> "
                  << shown(value.after) << (value.needsRestart ? " (restart)" : "") << Qt::endl;
    if (changed.isEmpty())
        m_env.out << "No values changed." << Qt::endl;
    if (m_context.restartNeeded)
        m_env.out << "A restart of Windows is needed before this change takes effect." << Qt::endl;
    if (!complete)
        return fail(QStringLiteral("stopped at %1; the entries after it were not applied").arg(stoppedAt));
    return kExitOk;
}

int CtlFiles::diff() {
    if (!loadIntoWorking())
        return kExitFailure;
    const auto machine = entriesByPosition(m_context.machineCatalogue);
    const auto file = entriesByPosition(m_context.workingCatalogue);
    int differences = 0;
    auto m = machine.begin();
    auto f = file.begin();
    while (m != machine.end() || f != file.end()) {
        if (f == file.end() || (m != machine.end() && m->first < f->first)) {
            m_env.out << m->second.title << ": not in the file" << Qt::endl;
            ++m;
        } else if (m == machine.end() || f->first < m->first) {
            m_env.out << f->second.title << ": only in the file" << Qt::endl;
            ++f;
        } else {
            if (m->second.value != f->second.value) {
                m_env.out << f->second.title << ": " << shown(m->second.value) << " -> "
                          << shown(f->second.value) << Qt::endl;
                ++differences;
            }
            ++m;
            ++f;
            continue;
        }
        ++differences;
    }
    if (differences == 0)
        m_env.out << "No differences." << Qt::endl;
    return differences == 0 ? kExitOk : kExitFailure;
}

int CtlFiles::save() {
    const QString given = m_options.arguments.first();
    CatalogueView view;
    QString why;
    if (!CatalogueFiles(m_context, view).WriteSettingsFile(QFileInfo(given).absoluteFilePath(), &why))
        return fail(QStringLiteral("%1 was not written: %2").arg(given, why));
    m_env.out << "Wrote " << given << "." << Qt::endl;
    return kExitOk;
}

int CtlFiles::exportXml() {
    const QString given = m_options.arguments.first();
    QString why;
    const std::optional<QByteArray> content = readWholeFile(given, kMaxSettingsFileSize, &why);
    if (!content)
        return fail(QStringLiteral("cannot read %1: %2").arg(given, why));
    const QByteArray text = CatalogueFiles::decipherSettingsFile(*content, m_context.passPhrase);
    if (!text.contains("<REGISTRYSETTINGS"))
        return fail(QStringLiteral("%1: Not a valid tavimor file").arg(given));
    XmlDocument document;
    if (!document.loadXML(text))
        return fail(
            QStringLiteral("%1 holds a catalogue that cannot be read: %2").arg(given, document.loadError()));
    m_env.out << document.xml();
    return kExitOk;
}

int CtlFiles::importXml() {
    const QString source = m_options.arguments.at(0);
    const QString target = m_options.arguments.at(1);
    QString why;
    const std::optional<QByteArray> content = readWholeFile(source, kMaxSettingsFileSize, &why);
    if (!content)
        return fail(QStringLiteral("cannot read %1: %2").arg(source, why));
    XmlDocument document;
    document.loadEncoded(*content);
    const QStringList problems = checkCatalogue(document);
    if (!problems.isEmpty()) {
        for (const QString& problem : problems)
            m_env.err << "tavimorctl: " << source << ": " << problem << Qt::endl;
        return fail(QStringLiteral("%1 was not written").arg(target));
    }
    const QByteArray xml = document.serialize();
    const std::optional<QByteArray> enciphered =
        CatalogueFiles::settingsFileContent(xml, m_context.passPhrase, &why);
    if (!enciphered)
        return fail(QStringLiteral("%1 was not written: %2").arg(target, why));
    if (CatalogueFiles::decipherSettingsFile(*enciphered, m_context.passPhrase) != xml)
        return fail(QStringLiteral("the catalogue could not be enciphered; %1 was not written").arg(target));
    if (!writeFileAtomically(target, *enciphered, &why))
        return fail(QStringLiteral("%1 was not written: %2").arg(target, why));
    int sections = 0;
    int entries = 0;
    forEachSection(document, [&](const XmlNode&, int) { ++sections; });
    forEachEntry(document, [&](const CatalogueEntry&, int, int) { ++entries; });
    m_env.out << "Wrote " << target << " (" << sections << (sections == 1 ? " section, " : " sections, ")
              << entries << (entries == 1 ? " entry" : " entries") << ")." << Qt::endl;
    return kExitOk;
}

} // namespace tavimor
