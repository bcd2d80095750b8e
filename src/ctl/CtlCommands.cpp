#include "CtlCommands.h"

#include "base/FileUtil.h"
#include "catalogue/CatalogueEntry.h"
#include "catalogue/CatalogueListing.h"
#include "catalogue/DriveMask.h"
#include "catalogue/EntryEdit.h"
#include "catalogue/Password.h"
#include "catalogue/ProgramContext.h"
#include "catalogue/RegistrySync.h"
#include "ctl/CtlEnvironment.h"
#include "ctl/CtlLookup.h"
#include "ctl/CtlOptions.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace tavimor {

namespace {

const QString kRestartLine =
    QStringLiteral("A restart of Windows is needed before this change takes effect.");

// "Enabled (0)" for a Boolean, the value alone where the state is the value.
QString stateWithValue(const QString& value, const QString& type) {
    const QString state = StateText(value, type);
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

CtlCommands::CtlCommands(ProgramContext& context, const CtlOptions& options, CtlEnvironment& env)
    : m_context(context)
    , m_options(options)
    , m_env(env) {
}

int CtlCommands::fail(const QString& text, int status) {
    m_env.err << "tavimorctl: " << text;
    if (status == kExitUsage)
        m_env.err << "; see tavimorctl --help";
    m_env.err << Qt::endl;
    return status;
}

void CtlCommands::printJson(const QJsonValue& value) {
    const QJsonDocument document =
        value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    m_env.out << QString::fromUtf8(document.toJson(QJsonDocument::Indented));
}

int CtlCommands::list() {
    if (m_options.arguments.isEmpty()) {
        const QList<SectionInfo> sections = catalogueSections(m_context);
        QList<int> counts(sections.size(), 0);
        forEachEntry(m_context.workingCatalogue, [&](const CatalogueEntry&, int s, int) {
            if (s < counts.size())
                ++counts[s];
        });
        if (m_options.json) {
            QJsonArray array;
            for (qsizetype s = 0; s < sections.size(); ++s)
                array.append(QJsonObject{{QStringLiteral("name"), sections[s].name},
                                         {QStringLiteral("address"), sections[s].address},
                                         {QStringLiteral("entries"), counts[s]}});
            printJson(array);
            return kExitOk;
        }
        qsizetype width = 0;
        for (const SectionInfo& section : sections)
            width = std::max(width, section.name.size());
        for (qsizetype s = 0; s < sections.size(); ++s)
            m_env.out << s << "  " << sections[s].name.leftJustified(width + 2) << counts[s]
                      << (counts[s] == 1 ? " entry" : " entries") << Qt::endl;
        return kExitOk;
    }

    const QString given = m_options.arguments.first();
    const std::optional<QString> address = CtlLookup(m_context.workingCatalogue).section(given);
    if (!address)
        return fail(QStringLiteral("no section \"%1\"").arg(given), kExitFailure);
    const QList<ListRow> rows = listRows(m_context, *address);
    if (m_options.json) {
        QJsonArray array;
        for (const ListRow& row : rows) {
            const CatalogueEntry working(m_context.workingCatalogue.selectSingleNode(row.tag));
            const CatalogueEntry machine(m_context.machineCatalogue.selectSingleNode(row.tag));
            array.append(QJsonObject{{QStringLiteral("name"), row.text},
                                     {QStringLiteral("address"), row.tag},
                                     {QStringLiteral("regname"), working.text("REGNAME")},
                                     {QStringLiteral("datatype"), datatypeAsWritten(working)},
                                     {QStringLiteral("working"), row.workingState},
                                     {QStringLiteral("machine"), row.machineState},
                                     {QStringLiteral("workingValue"), working.currentValue().text()},
                                     {QStringLiteral("machineValue"), machine.currentValue().text()},
                                     {QStringLiteral("restart"), row.needsRestart}});
        }
        printJson(array);
        return kExitOk;
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
        m_env.out << alignedLine(cells, widths) << Qt::endl;
    return kExitOk;
}

int CtlCommands::show() {
    QString error;
    const std::optional<QString> address =
        CtlLookup(m_context.workingCatalogue).entry(m_options.arguments.first(), &error);
    if (!address)
        return fail(error, kExitFailure);
    const CatalogueEntry working(m_context.workingCatalogue.selectSingleNode(*address));
    const CatalogueEntry machine(m_context.machineCatalogue.selectSingleNode(*address));
    const QString type = working.datatype();
    const QString workingValue = working.currentValue().text();
    const QString machineValue = machine.currentValue().text();
    const XmlNode comment = working.child("COMMENT");
    const bool drives = type == QLatin1String("DRIVES");
    const quint32 mask = drives ? readDriveMask(m_context.registry, m_context.errors) : 0;
    // What the registry holds now, also for the types the catalogue passes do not read.
    const RegDatum registry = m_context.registry.ReadKeyValue(GetKeyValue(working.text("KEY")),
                                                              working.text("PATH"), working.text("REGNAME"));

    if (m_options.json) {
        QJsonObject object{
            {QStringLiteral("section"), working.section()},
            {QStringLiteral("name"), working.text("NAME")},
            {QStringLiteral("address"), *address},
            {QStringLiteral("description"), working.text("DESCRIPTION")},
            {QStringLiteral("key"), working.text("KEY")},
            {QStringLiteral("path"), working.text("PATH")},
            {QStringLiteral("regname"), working.text("REGNAME")},
            {QStringLiteral("datatype"), datatypeAsWritten(working)},
            {QStringLiteral("values"), QJsonArray::fromStringList(allowedValues(working))},
            {QStringLiteral("default"), working.values().firstChildElement("DEFAULTVALUE").text()},
            {QStringLiteral("image"), working.text("IMAGE")},
            {QStringLiteral("restart"), working.needsRestart()},
            {QStringLiteral("working"), StateText(workingValue, type)},
            {QStringLiteral("workingValue"), workingValue},
            {QStringLiteral("machine"), StateText(machineValue, type)},
            {QStringLiteral("machineValue"), machineValue},
        };
        if (!comment.isNull())
            object.insert(QStringLiteral("comment"), comment.text());
        object.insert(QStringLiteral("registryValue"),
                      registry.isNothing() ? QJsonValue() : QJsonValue(registry.toText()));
        if (drives)
            object.insert(QStringLiteral("hiddenDrives"), driveLetters(mask));
        printJson(object);
        return kExitOk;
    }
    QTextStream& out = m_env.out;
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
    out << "Tavimor Settings: " << stateWithValue(workingValue, type) << Qt::endl;
    out << "Current Machine Settings: " << stateWithValue(machineValue, type) << Qt::endl;
    out << "In the registry: " << working.text("REGNAME") << " = "
        << (registry.isNothing() ? QStringLiteral("(not set)") : registry.toText()) << Qt::endl;
    if (drives)
        out << "Hidden drives: " << driveList(mask) << Qt::endl;
    return kExitOk;
}

int CtlCommands::set() {
    QString error;
    CtlLookup lookup(m_context.workingCatalogue);
    const std::optional<QString> address = lookup.entry(m_options.arguments.first(), &error);
    if (!address)
        return fail(error, kExitFailure);
    const QString title = lookup.title(*address);
    const CatalogueEntry working(m_context.workingCatalogue.selectSingleNode(*address));
    const QString type = working.datatype();
    const QString given = m_options.arguments.at(1).trimmed();
    QString value;
    if (type == QLatin1String("BOOLEAN")) {
        if (given.compare(QLatin1String("enable"), Qt::CaseInsensitive) == 0 || given == QLatin1String("0"))
            value = QStringLiteral("0");
        else if (given.compare(QLatin1String("disable"), Qt::CaseInsensitive) == 0 ||
                 given == QLatin1String("1"))
            value = QStringLiteral("1");
        else
            return fail(QStringLiteral("%1 takes enable, disable, 0 or 1, not \"%2\"").arg(title, given),
                        kExitUsage);
    } else if (type == QLatin1String("NUMBER") || type == QLatin1String("NUMERIC")) {
        static const QRegularExpression digits(QStringLiteral("^[0-9]{1,10}$"));
        const bool isNumber = digits.match(given).hasMatch() && given.toLongLong() <= 2147483647LL;
        if (!isNumber)
            return fail(
                QStringLiteral("%1 takes a number from 0 to 2147483647, not \"%2\"").arg(title, given),
                kExitUsage);
        value = QString::number(given.toLongLong());
    } else if (type == QLatin1String("DRIVES")) {
        return fail(QStringLiteral("%1 holds the hidden drive letters; use tavimorctl drives").arg(title),
                    kExitFailure);
    } else {
        return fail(QStringLiteral("%1 has the data type \"%2\", which has no value to set")
                        .arg(title, datatypeAsWritten(working)),
                    kExitFailure);
    }

    applyEntryNow(m_context, *address, value);
    RefreshCurrentValues(m_context, *address);
    const CatalogueEntry machine(m_context.machineCatalogue.selectSingleNode(*address));
    const QString regname = working.text("REGNAME");
    const QString inRegistry =
        m_context.registry.ReadKeyValue(GetKeyValue(working.text("KEY")), working.text("PATH"), regname)
            .toText();
    if (inRegistry != value)
        return fail(notWritten(regname), kExitFailure);
    m_env.out << title << ": " << StateText(machine.currentValue().text(), type) << " (" << regname << " = "
              << (inRegistry.isEmpty() ? QStringLiteral("not set") : inRegistry) << ")" << Qt::endl;
    if (m_context.restartNeeded)
        m_env.out << kRestartLine << Qt::endl;
    return kExitOk;
}

QString CtlCommands::notWritten(const QString& valueName) const {
    const RegistryBackend& backend = m_context.registry.backend();
    const QString why = backend.lastError();
    return QStringLiteral("%1 could not be written to %2").arg(valueName, backend.targetName()) +
           (why.isEmpty() ? QString() : QStringLiteral(": ") + why);
}

int CtlCommands::drives() {
    if (!m_options.arguments.isEmpty()) {
        const QString given = m_options.arguments.first();
        const std::optional<quint32> wanted = parseDriveLetters(given);
        if (!wanted)
            return fail(QStringLiteral("drive letters are A to Z or none, not \"%1\"").arg(given),
                        kExitUsage);
        writeDriveMask(m_context.registry, *wanted, m_context.errors);
        if (readDriveMask(m_context.registry, m_context.errors) != *wanted)
            return fail(notWritten(QLatin1String(kDrivesValueName)), kExitFailure);
    }
    const quint32 mask = readDriveMask(m_context.registry, m_context.errors);
    if (m_options.json) {
        QJsonArray letters;
        for (const QChar letter : driveLetters(mask))
            letters.append(QString(letter));
        printJson(QJsonObject{{QStringLiteral("hidden"), letters}, {QStringLiteral("mask"), qint64(mask)}});
    } else {
        m_env.out << "Hidden drives: " << driveList(mask) << Qt::endl;
    }
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
        *status = fail(QStringLiteral("a new password is needed (use --new-password-file or a terminal)"),
                       kExitUsage);
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
    if (*stored != password)
        return fail(QStringLiteral("the password could not be stored"), kExitFailure);
    m_env.out << "Password has been set." << Qt::endl;
    return kExitOk;
}

} // namespace tavimor
