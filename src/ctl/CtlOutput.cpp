// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlOutput.h"

#include "catalogue/CatalogueEntry.h"
#include "catalogue/PolicyFileNote.h"
#include "catalogue/ProgramContext.h"
#include "catalogue/RegistrySync.h"
#include "catalogue/UnreadTally.h"
#include "ctl/CtlEnvironment.h"
#include "ctl/CtlOptions.h"
#include "registry/RegDatum.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

namespace tavimor {

namespace {
QJsonObject withHeader(const QString& command, const QJsonObject& fields) {
    QJsonObject object = fields;
    object.insert(QStringLiteral("format"), CtlOutput::kFormat);
    object.insert(QStringLiteral("command"), command.isEmpty() ? QJsonValue() : QJsonValue(command));
    return object;
}
} // namespace

CtlOutput::CtlOutput(CtlEnvironment& env, const QString& command, bool json)
    : m_env(env)
    , m_command(command)
    , m_json(json) {
}

QTextStream& CtlOutput::out() {
    return m_env.out;
}

void CtlOutput::printJson(const QJsonObject& fields) {
    m_env.out << QString::fromUtf8(
        QJsonDocument(withHeader(m_command, fields)).toJson(QJsonDocument::Indented));
}

int CtlOutput::fail(const QString& text, int status) {
    if (m_json) {
        m_error = text;
        return status;
    }
    m_env.err << "tavimorctl: " << text << Qt::endl;
    return status;
}

int CtlOutput::usageError(const QString& text) {
    return fail(m_json ? text : text + QStringLiteral("; see tavimorctl --help"), kExitUsage);
}

void CtlOutput::note(const QString& text) {
    if (m_json)
        m_notes.append(text);
    else
        m_env.err << text << Qt::endl;
}

void CtlOutput::report(const QString& text) {
    note(m_json ? text : QStringLiteral("tavimorctl: ") + text);
}

int CtlOutput::reportUnread(const UnreadTally& unread, int status) {
    for (const QString& line : unread.lines())
        report(QStringLiteral("could not be read (Unknown): ") + line);
    return unread.isEmpty() || status != kExitOk ? status : kExitFailure;
}

int CtlOutput::finish(int status) {
    // diff's 1 says "something to do", not a failure.
    const bool failed = status != kExitOk && !(m_command == QLatin1String("diff") && status == kExitDiffers);
    if (m_json && (failed || !m_notes.isEmpty() || !m_error.isEmpty())) {
        QJsonObject error{{QStringLiteral("status"), status}};
        const QString message = !m_error.isEmpty() ? m_error : m_notes.value(0);
        if (!message.isEmpty())
            error.insert(QStringLiteral("error"), message);
        error.insert(QStringLiteral("messages"), QJsonArray::fromStringList(m_notes));
        m_env.err << QString::fromUtf8(
                         QJsonDocument(withHeader(m_command, error)).toJson(QJsonDocument::Compact))
                  << '\n';
    }
    m_env.out.flush();
    m_env.err.flush();
    return status;
}

QString counted(qsizetype count, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

QJsonValue jsonValueText(const QString& text) {
    static const QRegularExpression number(QStringLiteral("^-?[0-9]{1,10}$"));
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.compare(QLatin1String("Null"), Qt::CaseInsensitive) == 0)
        return QJsonValue();
    if (number.match(trimmed).hasMatch())
        return QJsonValue(trimmed.toLongLong());
    return QJsonValue(text);
}

QJsonValue jsonRegistryValue(const RegDatum& value) {
    if (value.isInteger())
        return QJsonValue(qint64(*value.toInteger()));
    if (value.isText())
        return QJsonValue(value.toText());
    return QJsonValue();
}

QJsonObject jsonPolicyFileSetting(const PolicyFileSetting& setting) {
    QJsonObject object{{QStringLiteral("file"), QDir::toNativeSeparators(setting.file)},
                       {QStringLiteral("deletes"), setting.unreadable.isEmpty() && !setting.value},
                       {QStringLiteral("value"),
                        setting.value ? jsonRegistryValue(policyFileDatum(*setting.value)) : QJsonValue()}};
    if (!setting.unreadable.isEmpty())
        object.insert(QStringLiteral("unreadable"), setting.unreadable);
    return object;
}

QJsonObject jsonEntryHeader(const CatalogueEntry& entry, const QString& address) {
    return QJsonObject{
        {QStringLiteral("section"), entry.section()}, {QStringLiteral("name"), entry.text("NAME")},
        {QStringLiteral("address"), address},         {QStringLiteral("key"), entry.text("KEY")},
        {QStringLiteral("path"), entry.text("PATH")}, {QStringLiteral("regname"), entry.text("REGNAME")},
    };
}

QJsonObject jsonEntryState(const ProgramContext& context, const QString& address) {
    const CatalogueEntry working(context.workingCatalogue.selectSingleNode(address));
    const CatalogueEntry machine(context.machineCatalogue.selectSingleNode(address));
    QJsonObject object = jsonEntryHeader(working, address);
    object.insert(QStringLiteral("datatype"),
                  working.values().attribute(QStringLiteral("Datatype")).value_or(QString()));
    object.insert(QStringLiteral("restart"), working.needsRestart());
    for (const auto& [entry, name] :
         {std::pair{working, QStringLiteral("working")}, std::pair{machine, QStringLiteral("machine")}}) {
        object.insert(name, entryStateText(entry));
        object.insert(name + QStringLiteral("Value"), jsonValueText(entry.currentValue().text()));
        if (const std::optional<QString> unread = entry.unreadReason())
            object.insert(name + QStringLiteral("Unread"), *unread);
    }
    return object;
}

} // namespace tavimor
