// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlCommands.h"

#include "base/FileUtil.h"
#include "catalogue/ApplyPlan.h"
#include "catalogue/CatalogueEntry.h"
#include "catalogue/CatalogueListing.h"
#include "catalogue/DriveMask.h"
#include "catalogue/EntryEdit.h"
#include "catalogue/Password.h"
#include "catalogue/PolicyFileNote.h"
#include "catalogue/ProgramContext.h"
#include "catalogue/RegistrySync.h"
#include "catalogue/UnreadTally.h"
#include "ctl/CtlEnvironment.h"
#include "ctl/CtlLookup.h"
#include "ctl/CtlOptions.h"
#include "ctl/CtlOutput.h"
#include "ctl/CtlTemplates.h"
#include "registry/regfile/RegPatchImport.h"
#include "templates/TemplateSet.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace tavimor {

namespace {

const QString kRestartLine =
    QStringLiteral("A restart of Windows is needed before this change takes effect.");

// The entries of rows whose state could not be read, in either catalogue.
UnreadTally unreadOf(const ProgramContext& context, const QList<ListRow>& rows) {
    UnreadTally unread;
    for (const ListRow& row : rows) {
        const CatalogueEntry machine(context.machineCatalogue.selectSingleNode(row.tag));
        unread.addEntry(machine.unreadReason()
                            ? machine
                            : CatalogueEntry(context.workingCatalogue.selectSingleNode(row.tag)));
    }
    return unread;
}

// "Enabled (0)" for a Boolean, the value alone where the state is the value, "Unknown" unread.
QString stateWithValue(const CatalogueEntry& entry) {
    if (entry.unreadReason())
        return QLatin1String(kUnknownState);
    const QString value = entry.currentValue().text();
    const QString state = StateText(value, entry.datatype());
    if (value.isEmpty())
        return state.isEmpty() ? QStringLiteral("(empty)") : state;
    return state == value ? value : QStringLiteral("%1 (%2)").arg(state, value);
}

QString datatypeAsWritten(const CatalogueEntry& entry) {
    return entry.values().attribute(QStringLiteral("Datatype")).value_or(QString());
}

QStringList allowedValues(const CatalogueEntry& entry) {
    QStringList values;
    for (XmlNode value = entry.values().firstChildElement("VALUE"); value; value = value.nextSiblingElement())
        if (value.nodeName() == QLatin1String("VALUE"))
            values.append(value.text());
    return values;
}

QJsonArray driveLetterArray(quint32 mask) {
    QJsonArray letters;
    for (const QChar letter : driveLetters(mask))
        letters.append(QString(letter));
    return letters;
}

QString driveList(quint32 mask) {
    QStringList drives;
    for (const QChar letter : driveLetters(mask))
        drives.append(letter + QLatin1Char(':'));
    return drives.isEmpty() ? QStringLiteral("none") : drives.join(QLatin1Char(' '));
}

// Columns padded to their widest cell; no trailing blanks.
QString alignedLine(const QStringList& cells, const QList<qsizetype>& widths) {
    QString line;
    for (qsizetype i = 0; i < cells.size(); ++i)
        line += i + 1 < cells.size() ? cells[i].leftJustified(widths[i] + 2) : cells[i];
    while (line.endsWith(QLatin1Char(' ')))
        line.chop(1);
    return line;
}

} // namespace

CtlCommands::CtlCommands(ProgramContext& context, const CtlOptions& options, CtlEnvironment& env,
                         CtlOutput& output)
    : m_context(context)
    , m_options(options)
    , m_env(env)
    , m_output(output) {
}

int CtlCommands::fail(const QString& text, int status) {
    return m_output.fail(text, status);
}

int CtlCommands::list() {
    if (m_options.arguments.isEmpty()) {
        const QList<SectionInfo> sections = catalogueSections(m_context);
        QList<int> counts(sections.size(), 0);
        forEachEntry(m_context.workingCatalogue, [&](const CatalogueEntry&, int s, int) {
            if (s < counts.size())
                ++counts[s];
        });
        if (m_output.json()) {
            QJsonArray array;
            for (qsizetype s = 0; s < sections.size(); ++s)
                array.append(QJsonObject{{QStringLiteral("position"), s},
                                         {QStringLiteral("name"), sections[s].name},
                                         {QStringLiteral("address"), sections[s].address},
                                         {QStringLiteral("entries"), counts[s]}});
            QJsonArray categories;
            for (const CtlTemplates::Category& category : CtlTemplates::categories(m_context))
                categories.append(
                    QJsonObject{{QStringLiteral("position"), sections.size() + categories.size()},
                                {QStringLiteral("name"), category.path},
                                {QStringLiteral("policies"), category.policies.size()}});
            QJsonObject fields{{QStringLiteral("sections"), array}};
            if (!categories.isEmpty())
                fields.insert(QStringLiteral("categories"), categories);
            m_output.printJson(fields);
            return kExitOk;
        }
        const QList<CtlTemplates::Category> categories = CtlTemplates::categories(m_context);
        qsizetype width = 0;
        for (const SectionInfo& section : sections)
            width = std::max(width, section.name.size());
        for (const CtlTemplates::Category& category : categories)
            width = std::max(width, category.path.size());
        const qsizetype digits = QString::number(sections.size() + categories.size() - 1).size();
        const auto position = [digits](qsizetype at) {
            return QString::number(at).leftJustified(digits + 2);
        };
        for (qsizetype s = 0; s < sections.size(); ++s)
            m_output.out() << position(s) << sections[s].name.leftJustified(width + 2) << counts[s]
                           << (counts[s] == 1 ? " entry" : " entries") << Qt::endl;
        for (qsizetype c = 0; c < categories.size(); ++c)
            m_output.out() << position(sections.size() + c) << categories[c].path.leftJustified(width + 2)
                           << counted(categories[c].policies.size(), "policy", "policies") << Qt::endl;
        return kExitOk;
    }

    const QString given = m_options.arguments.first();
    const std::optional<QString> address = CtlLookup(m_context.workingCatalogue).section(given);
    if (!address)
        return listCategory(given);
    const QList<ListRow> rows = listRows(m_context, *address);
    const UnreadTally unread = unreadOf(m_context, rows);
    if (m_output.json()) {
        QJsonArray array;
        for (const ListRow& row : rows)
            array.append(jsonEntryState(m_context, row.tag));
        const XmlNode section = m_context.workingCatalogue.selectSingleNode(*address);
        m_output.printJson(
            QJsonObject{{QStringLiteral("section"),
                         QJsonObject{{QStringLiteral("name"),
                                      section.attribute(QStringLiteral("Section")).value_or(QString())},
                                     {QStringLiteral("address"), *address}}},
                        {QStringLiteral("entries"), array}});
        return m_output.reportUnread(unread, kExitOk);
    }
    QList<QStringList> lines{{QStringLiteral("Name"), QStringLiteral("Tavimor Settings"),
                              QStringLiteral("Current Machine Settings"), QString()}};
    for (const ListRow& row : rows)
        lines.append({row.text, row.workingState, row.machineState,
                      row.needsRestart ? QStringLiteral("*") : QString()});
    QList<qsizetype> widths(4, 0);
    for (const QStringList& cells : lines)
        for (qsizetype i = 0; i < cells.size(); ++i)
            widths[i] = std::max(widths[i], cells[i].size());
    for (const QStringList& cells : lines)
        m_output.out() << alignedLine(cells, widths) << '\n';
    return m_output.reportUnread(unread, kExitOk);
}

int CtlCommands::show() {
    QString error;
    const std::optional<QString> address =
        CtlLookup(m_context.workingCatalogue).entry(m_options.arguments.first(), &error);
    if (!address) {
        if (const PolicyInstance* policy = findPolicy(&error))
            return CtlTemplates(m_context, m_options, m_output).show(*policy);
        return fail(error, kExitFailure);
    }
    const CatalogueEntry working(m_context.workingCatalogue.selectSingleNode(*address));
    const CatalogueEntry machine(m_context.machineCatalogue.selectSingleNode(*address));
    const QString type = working.datatype();
    const XmlNode comment = working.child("COMMENT");
    const bool drives = type == QLatin1String("DRIVES");
    QString masked;
    const quint32 mask = drives ? readDriveMask(m_context.registry, m_context.errors, &masked) : 0;
    // What the registry holds now, also for the types the catalogue passes do not read.
    const RegDatum registry = m_context.registry.ReadKeyValue(GetKeyValue(working.text("KEY")),
                                                              working.text("PATH"), working.text("REGNAME"));
    UnreadTally unread;
    if (machine.unreadReason() || working.unreadReason())
        unread.addEntry(machine.unreadReason() ? machine : working);
    else if (registry.isUnread())
        unread.add(working.text("KEY"), registry.unreadReason());
    else if (!masked.isEmpty())
        unread.add(QStringLiteral("HKEY_CURRENT_USER"), masked);
    const std::optional<PolicyFileSetting> policy =
        entryPolicyFileSetting(m_context.registry.backend(), working);
    // What a policy file that cannot be read sets is not known: that is no answer.
    const int status = policy && !policy->unreadable.isEmpty() ? kExitFailure : kExitOk;

    if (m_output.json()) {
        QJsonObject object = jsonEntryState(m_context, *address);
        QJsonArray values;
        for (const QString& value : allowedValues(working))
            values.append(jsonValueText(value));
        object.insert(QStringLiteral("description"), working.text("DESCRIPTION"));
        object.insert(QStringLiteral("values"), values);
        object.insert(QStringLiteral("default"),
                      jsonValueText(working.values().firstChildElement("DEFAULTVALUE").text()));
        object.insert(QStringLiteral("image"), working.text("IMAGE"));
        if (!comment.isNull())
            object.insert(QStringLiteral("comment"), comment.text());
        object.insert(QStringLiteral("registryValue"), jsonRegistryValue(registry));
        if (drives)
            object.insert(QStringLiteral("hiddenDrives"),
                          masked.isEmpty() ? QJsonValue(driveLetterArray(mask)) : QJsonValue());
        if (policy)
            object.insert(QStringLiteral("localGroupPolicy"), jsonPolicyFileSetting(*policy));
        m_output.printJson(QJsonObject{{QStringLiteral("entry"), object}});
        return m_output.reportUnread(unread, status);
    }
    QTextStream& out = m_output.out();
    out << "Section: " << working.section() << Qt::endl;
    out << "Name: " << working.text("NAME") << Qt::endl;
    out << "Address: " << *address << Qt::endl;
    out << "Description: " << working.text("DESCRIPTION") << Qt::endl;
    out << "Key: " << working.text("KEY") << Qt::endl;
    out << "Path: " << working.text("PATH") << Qt::endl;
    out << "Regname: " << working.text("REGNAME") << Qt::endl;
    out << "Datatype: " << datatypeAsWritten(working) << Qt::endl;
    out << "Values: " << allowedValues(working).join(QStringLiteral(", ")) << Qt::endl;
    out << "Default: " << working.values().firstChildElement("DEFAULTVALUE").text() << Qt::endl;
    if (!comment.isNull())
        out << "Comment: " << comment.text() << Qt::endl;
    out << "Image: " << working.text("IMAGE") << Qt::endl;
    out << "Restart: " << (working.needsRestart() ? "Yes" : "No") << Qt::endl;
    out << "Tavimor Settings: " << stateWithValue(working) << Qt::endl;
    out << "Current Machine Settings: " << stateWithValue(machine) << Qt::endl;
    out << "In the registry: " << working.text("REGNAME") << " = " << plannedValueText(registry) << Qt::endl;
    if (policy)
        out << "Local Group Policy: " << policyFileSettingText(*policy, working.text("REGNAME")) << Qt::endl;
    if (drives)
        out << "Hidden drives: " << (masked.isEmpty() ? driveList(mask) : QLatin1String(kUnknownState))
            << Qt::endl;
    return m_output.reportUnread(unread, status);
}

int CtlCommands::set() {
    QString error;
    CtlLookup lookup(m_context.workingCatalogue);
    const std::optional<QString> address = lookup.entry(m_options.arguments.first(), &error);
    if (!address) {
        if (const PolicyInstance* policy = findPolicy(&error))
            return CtlTemplates(m_context, m_options, m_output).set(*policy);
        return fail(error, kExitFailure);
    }
    const QString title = lookup.title(*address);
    if (m_options.arguments.size() > 2)
        return m_output.usageError(QStringLiteral("%1 takes one value, not \"%2\"")
                                       .arg(title, m_options.arguments.mid(1).join(QLatin1Char(' '))));
    const CatalogueEntry working(m_context.workingCatalogue.selectSingleNode(*address));
    const QString type = working.datatype();
    const QString given = m_options.arguments.at(1).trimmed();
    const auto isOneOf = [&given](std::initializer_list<const char*> words) {
        for (const char* word : words)
            if (given.compare(QLatin1String(word), Qt::CaseInsensitive) == 0)
                return true;
        return false;
    };
    QString value;
    if (type == QLatin1String("BOOLEAN")) {
        if (isOneOf({"enabled", "enable", "0"}))
            value = QStringLiteral("0");
        else if (isOneOf({"disabled", "disable", "1"}))
            value = QStringLiteral("1");
        else
            return m_output.usageError(
                QStringLiteral("%1 takes Enabled, Disabled, 0 or 1, not \"%2\"").arg(title, given));
    } else if (type == QLatin1String("NUMBER") || type == QLatin1String("NUMERIC")) {
        static const QRegularExpression digits(QStringLiteral("^[0-9]{1,10}$"));
        const bool isNumber = digits.match(given).hasMatch() && given.toLongLong() <= 2147483647LL;
        if (!isNumber)
            return m_output.usageError(
                QStringLiteral("%1 takes a number from 0 to 2147483647, not \"%2\"").arg(title, given));
        value = QString::number(given.toLongLong());
    } else if (type == QLatin1String("DRIVES")) {
        return fail(QStringLiteral("%1 holds the hidden drive letters; use tavimorctl drives").arg(title),
                    kExitFailure);
    } else {
        return fail(QStringLiteral("%1 has the data type \"%2\", which has no value to set")
                        .arg(title, datatypeAsWritten(working)),
                    kExitFailure);
    }

    const HKEY hive = GetKeyValue(working.text("KEY"));
    const QString path = working.text("PATH");
    const QString regname = working.text("REGNAME");
    const RegDatum before = m_context.registry.ReadKeyValue(hive, path, regname);
    applyEntryNow(m_context, *address, value);
    RefreshCurrentValues(m_context, *address);
    const RegDatum after = m_context.registry.ReadKeyValue(hive, path, regname);
    if (after.isUnread())
        return fail(QStringLiteral("%1: %2 could not be read back from %3: %4")
                        .arg(title, regname, m_context.registry.backend().targetName(), after.unreadReason()),
                    kExitFailure);
    if (after != RegDatum::integer(value.toInt()))
        return fail(title + QStringLiteral(": ") + notWritten(regname), kExitFailure);
    // The registry held it already, so nothing was written.
    const bool already = before == after;
    const CatalogueEntry machine(m_context.machineCatalogue.selectSingleNode(*address));
    const QString state = StateText(machine.currentValue().text(), type);
    if (m_output.json()) {
        QJsonObject entry = jsonEntryHeader(working, *address);
        m_output.printJson(QJsonObject{{QStringLiteral("entry"), entry},
                                       {QStringLiteral("before"), jsonRegistryValue(before)},
                                       {QStringLiteral("after"), value.toInt()},
                                       {QStringLiteral("changed"), !already},
                                       {QStringLiteral("state"), state},
                                       {QStringLiteral("restartNeeded"), m_context.restartNeeded}});
        return kExitOk;
    }
    // A target that keeps a write in memory for a while says so.
    const QString note = already ? QString() : m_context.registry.backend().writtenNote();
    m_output.out() << title << ": " << (already ? "already " : "") << state << " (" << regname << " = "
                   << value << ")" << (note.isEmpty() ? QString() : QStringLiteral("; ") + note) << Qt::endl;
    if (m_context.restartNeeded)
        m_output.out() << kRestartLine << Qt::endl;
    return kExitOk;
}

const PolicyInstance* CtlCommands::findPolicy(QString* error) const {
    QString why;
    const PolicyInstance* policy = CtlTemplates::find(m_context, m_options.arguments.first(), &why);
    if (!why.isEmpty())
        *error = why;
    return policy;
}

int CtlCommands::listCategory(const QString& given) {
    const QList<CtlTemplates::Category> categories = CtlTemplates::categories(m_context);
    const CtlTemplates::Category* found = nullptr;
    for (Qt::CaseSensitivity cs : {Qt::CaseSensitive, Qt::CaseInsensitive})
        for (const CtlTemplates::Category& category : categories)
            if (!found && category.path.compare(given, cs) == 0)
                found = &category;
    bool isPosition = false;
    const qsizetype position = given.toLongLong(&isPosition) - catalogueSections(m_context).size();
    if (!found && isPosition && position >= 0 && position < categories.size())
        found = &categories[position];
    if (!found)
        return fail(QStringLiteral("no section \"%1\"").arg(given), kExitFailure);
    if (m_output.json()) {
        QJsonArray policies;
        for (const PolicyInstance* policy : found->policies)
            policies.append(CtlTemplates::json(m_context, *policy));
        m_output.printJson(
            QJsonObject{{QStringLiteral("category"), found->path}, {QStringLiteral("entries"), policies}});
        return kExitOk;
    }
    QList<QStringList> lines{{QStringLiteral("Policy"), QStringLiteral("Tavimor Settings"),
                              QStringLiteral("Current Machine Settings"), QStringLiteral("Name")}};
    for (const PolicyInstance* policy : found->policies)
        lines.append({policy->name(), CtlTemplates::workingState(m_context, *policy),
                      CtlTemplates::machineState(m_context, *policy),
                      m_context.templates->displayName(*policy)});
    QList<qsizetype> widths(4, 0);
    for (const QStringList& cells : lines)
        for (qsizetype i = 0; i < cells.size(); ++i)
            widths[i] = std::max(widths[i], cells[i].size());
    for (const QStringList& cells : lines)
        m_output.out() << alignedLine(cells, widths) << Qt::endl;
    return kExitOk;
}

QString CtlCommands::notWritten(const QString& valueName) const {
    const RegistryBackend& backend = m_context.registry.backend();
    const QString why = backend.lastError();
    return QStringLiteral("%1 could not be written to %2").arg(valueName, backend.targetName()) +
           (why.isEmpty() ? QString() : QStringLiteral(": ") + why);
}

int CtlCommands::unset() {
    QStringList addresses;
    if (m_options.all) {
        forEachEntry(m_context.workingCatalogue,
                     [&](const CatalogueEntry&, int s, int e) { addresses.append(entryAddress(s, e)); });
    } else {
        QString error;
        const std::optional<QString> address =
            CtlLookup(m_context.workingCatalogue).entry(m_options.arguments.first(), &error);
        if (!address) {
            if (const PolicyInstance* policy = findPolicy(&error))
                return CtlTemplates(m_context, m_options, m_output).unset({policy}, false, nullptr);
            return fail(error, kExitFailure);
        }
        addresses.append(*address);
    }
    // Every deletion goes to the registry as one batch, which a target may write at once.
    QList<RegChange> deletions;
    QList<RegDatum> before;
    QList<bool> present;
    QList<RegKeyName> keys;
    for (const QString& address : addresses) {
        const CatalogueEntry entry(m_context.workingCatalogue.selectSingleNode(address));
        keys.append({GetKeyValue(entry.text("KEY")), entry.text("PATH")});
    }
    m_context.registry.backend().prepareReads(keys);
    for (const QString& address : addresses) {
        const CatalogueEntry entry(m_context.workingCatalogue.selectSingleNode(address));
        const HKEY hive = GetKeyValue(entry.text("KEY"));
        before.append(m_context.registry.ReadKeyValue(hive, entry.text("PATH"), entry.text("REGNAME")));
        QString unread;
        present.append(readRegValue(m_context.registry.backend(), hive, entry.text("PATH"),
                                    entry.text("REGNAME"), &unread)
                           .has_value() ||
                       !unread.isEmpty());
        deletions.append({RegChange::Kind::DeleteValue, hive, entry.text("PATH"), entry.text("REGNAME"), {}});
    }
    qsizetype failed = 0;
    const long status = m_context.registry.backend().applyChanges(deletions, &failed);
    QJsonArray changes;
    int absent = 0;
    for (qsizetype i = 0; i < addresses.size(); ++i) {
        const QString& address = addresses[i];
        const CatalogueEntry entry(m_context.workingCatalogue.selectSingleNode(address));
        const QString title = entry.section() + QLatin1Char('/') + entry.text("NAME");
        const HKEY hive = GetKeyValue(entry.text("KEY"));
        const QString path = entry.text("PATH");
        const QString regname = entry.text("REGNAME");
        const QString place = entry.text("KEY") + QLatin1Char('\\') + path + QLatin1Char('\\') + regname;
        if (status != ERROR_SUCCESS && i == failed)
            return fail(QStringLiteral("%1: %2 could not be deleted: %3")
                            .arg(title, place, m_context.registry.failureText(status)),
                        kExitFailure);
        const RegDatum after = m_context.registry.ReadKeyValue(hive, path, regname);
        if (after.isUnread())
            return fail(
                QStringLiteral("%1: %2 could not be read back: %3").arg(title, place, after.unreadReason()),
                kExitFailure);
        if (!after.isNothing())
            return fail(QStringLiteral("%1: %2 is still there after it was deleted").arg(title, place),
                        kExitFailure);
        const bool deleted = present[i];
        const bool restart = deleted && entry.needsRestart();
        if (restart)
            m_context.restartNeeded = true;
        QJsonObject change = jsonEntryHeader(entry, address);
        change.insert(QStringLiteral("action"), QStringLiteral("delete"));
        change.insert(QStringLiteral("before"), jsonRegistryValue(before[i]));
        change.insert(QStringLiteral("restart"), restart);
        changes.append(change);
        if (m_output.json())
            continue;
        if (deleted)
            m_output.out() << title << ": not configured (" << regname << " deleted, was "
                           << plannedValueText(before[i]) << ")" << (restart ? " (restart)" : "") << Qt::endl;
        else if (!m_options.all)
            m_output.out() << title << ": not configured (" << regname << " was not set)" << Qt::endl;
        else
            ++absent;
    }
    // --all makes every template policy that is set not configured too.
    if (m_options.all && m_context.templates) {
        if (const int status = CtlTemplates(m_context, m_options, m_output)
                                   .unset(CtlTemplates::configured(m_context), true, &changes))
            return status;
    }
    RefreshCurrentValues(m_context, m_options.all ? QLatin1String(kAllEntries) : addresses.first());
    if (m_output.json()) {
        m_output.printJson(QJsonObject{{QStringLiteral("changes"), changes},
                                       {QStringLiteral("restartNeeded"), m_context.restartNeeded}});
        return kExitOk;
    }
    if (absent > 0)
        m_output.out() << absent << (absent == 1 ? " other value was" : " other values were") << " not set."
                       << Qt::endl;
    if (m_context.restartNeeded)
        m_output.out() << kRestartLine << Qt::endl;
    return kExitOk;
}

int CtlCommands::drives() {
    if (!m_options.arguments.isEmpty()) {
        QString error;
        const std::optional<quint32> wanted = parseDriveLetters(m_options.arguments.first(), &error);
        if (!wanted)
            return m_output.usageError(error);
        QString before;
        const bool changed =
            readDriveMask(m_context.registry, m_context.errors, &before) != *wanted || !before.isEmpty();
        writeDriveMask(m_context.registry, *wanted, m_context.errors);
        // The Drives entry says whether a changed mask needs Windows to restart.
        forEachEntry(m_context.workingCatalogue, [&](const CatalogueEntry& entry, int, int) {
            if (changed && entry.datatype() == QLatin1String("DRIVES") && entry.needsRestart())
                m_context.restartNeeded = true;
        });
        QString unread;
        if (readDriveMask(m_context.registry, m_context.errors, &unread) != *wanted || !unread.isEmpty())
            return fail(unread.isEmpty() ? notWritten(QLatin1String(kDrivesValueName))
                                         : QStringLiteral("%1 could not be read back: %2")
                                               .arg(QLatin1String(kDrivesValueName), unread),
                        kExitFailure);
    }
    QString unread;
    const quint32 mask = readDriveMask(m_context.registry, m_context.errors, &unread);
    if (!unread.isEmpty())
        return fail(QStringLiteral("the hidden drives could not be read: %1").arg(unread), kExitFailure);
    if (m_output.json()) {
        m_output.printJson(QJsonObject{{QStringLiteral("hidden"), driveLetterArray(mask)},
                                       {QStringLiteral("mask"), qint64(mask)},
                                       {QStringLiteral("restartNeeded"), m_context.restartNeeded}});
        return kExitOk;
    }
    m_output.out() << "Hidden drives: " << driveList(mask) << Qt::endl;
    if (m_context.restartNeeded)
        m_output.out() << kRestartLine << Qt::endl;
    return kExitOk;
}

std::optional<QString> CtlCommands::readPasswordFile(const QString& path, QString* error) {
    const std::optional<QByteArray> content = readWholeFile(path, 64 * 1024, error);
    if (!content)
        return std::nullopt;
    QByteArray line = content->left(content->indexOf('\n') < 0 ? content->size() : content->indexOf('\n'));
    while (line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

std::optional<QString> CtlCommands::newPassword(int* status) {
    *status = kExitFailure;
    if (!m_options.newPasswordFile.isEmpty()) {
        QString why;
        std::optional<QString> read = readPasswordFile(m_options.newPasswordFile, &why);
        if (!read)
            fail(QStringLiteral("cannot read %1: %2").arg(m_options.newPasswordFile, why), kExitFailure);
        return read;
    }
    if (!m_env.stdinIsTerminal || !m_env.readPassword) {
        *status = m_output.usageError(
            QStringLiteral("a new password is needed (use --new-password-file or a terminal)"));
        return std::nullopt;
    }
    const std::optional<QString> first = m_env.readPassword(QStringLiteral("New password: "));
    const std::optional<QString> second =
        first ? m_env.readPassword(QStringLiteral("Verify password: ")) : std::nullopt;
    if (!first || !second) {
        fail(QStringLiteral("no password was entered"), kExitFailure);
        return std::nullopt;
    }
    if (*first != *second) {
        fail(QStringLiteral("Passwords don't match"), kExitFailure);
        return std::nullopt;
    }
    return first;
}

int CtlCommands::password() {
    int status = kExitFailure;
    const std::optional<QString> entered = newPassword(&status);
    if (!entered)
        return status;
    if (entered->size() > kMaxPasswordLength)
        return fail(QStringLiteral("a password has at most %1 characters").arg(kMaxPasswordLength),
                    kExitFailure);
    const QString password = trimTrailingSpaces(*entered);
    // A failing store has been reported by the error handler.
    if (!MyPwdWrite(m_context, password))
        return kExitFailure;
    const std::optional<QString> stored = MyPwdRead(m_context);
    if (!stored)
        return kExitFailure;
    if (!passwordMatches(password, *stored))
        return fail(QStringLiteral("the password could not be stored"), kExitFailure);
    if (m_output.json())
        m_output.printJson(QJsonObject{{QStringLiteral("passwordSet"), !password.isEmpty()}});
    else
        m_output.out() << "Password has been set." << Qt::endl;
    return kExitOk;
}

} // namespace tavimor
