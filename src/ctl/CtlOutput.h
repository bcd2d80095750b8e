// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonObject>
#include <QStringList>

namespace tavimor {

class CatalogueEntry;
class ProgramContext;
class RegDatum;
class UnreadTally;
struct CtlEnvironment;
struct PolicyFileSetting;

// What every command prints goes through here, so that --json gives one shape everywhere:
// one JSON object with "format" and "command" on standard output, and on a failure one JSON
// object on standard error (docs/json.md).
class CtlOutput {
public:
    static constexpr int kFormat = 1;

    CtlOutput(CtlEnvironment& env, const QString& command, bool json);

    bool json() const { return m_json; }
    // The text output; in JSON mode nothing should be written to it but through printJson.
    QTextStream& out();
    // The command's result: fields plus "format" and "command".
    void printJson(const QJsonObject& fields);
    // A failure that ends the command: "tavimorctl: TEXT" on standard error, or the "error" of
    // the JSON error object. Returns status.
    int fail(const QString& text, int status);
    // The same for input that cannot be meant, with a pointer to --help; returns kExitUsage.
    int usageError(const QString& text);
    // A line for standard error that does not end the command by itself (messages of the core).
    void note(const QString& text);
    // The same for a line of our own: "tavimorctl: TEXT" as text.
    void report(const QString& text);
    // Says once per hive and reason which values could not be read and so show as Unknown; returns
    // status, or kExitFailure when there were any and status was kExitOk.
    int reportUnread(const UnreadTally& unread, int status);
    // Ends the run: the JSON error object when there is something to say, then flushes.
    int finish(int status);

private:
    CtlEnvironment& m_env;
    QString m_command;
    bool m_json;
    QString m_error;
    QStringList m_notes;
};

// "1 value", "3 values": a count with the word that fits it.
QString counted(qsizetype count, const char* one, const char* many);

// A catalogue value text as JSON: a number when it is a decimal number, null when it is empty
// or "Null", the text itself otherwise (only a hand-made settings file holds such a text).
QJsonValue jsonValueText(const QString& text);
// A registry value: null when absent or not read, a number for a REG_DWORD, a string for a REG_SZ.
QJsonValue jsonRegistryValue(const RegDatum& value);
// What an offline Windows' own Group Policy says of a value as JSON ("file", "value" as
// jsonRegistryValue gives it, "deletes", "unreadable").
QJsonObject jsonPolicyFileSetting(const PolicyFileSetting& setting);
// What names an entry in every shape: section, name, address, key, path, regname.
QJsonObject jsonEntryHeader(const CatalogueEntry& entry, const QString& address);
// An entry as list shows it: the header, datatype, restart, and its state and value in the
// Tavimor settings ("working") and on the machine ("machine"); a value that could not be read is
// the state "Unknown", the value null, and "workingUnread"/"machineUnread" says why.
QJsonObject jsonEntryState(const ProgramContext& context, const QString& address);

} // namespace tavimor
