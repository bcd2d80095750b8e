// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "registry/KeyStoreBackend.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QProcess;

namespace tavimor {

class RegPatch;

// Programs run in a prefix while a wineserver holds the registry: our own agent, one Wine process
// that answers every read and write of the tool's life, else Wine's "reg", one process per step;
// "wineboot" for the restart. Full key names ("HKEY_CURRENT_USER\Software") throughout; values as
// the ANSI registry functions hand them over.
class WineRegTool {
public:
    explicit WineRegTool(const QString& prefix);
    ~WineRegTool();

    // The wine loader: $WINE, else "wine" or "wine64" on the PATH, else Debian's wine64 beside it.
    static QString wineProgram();
    // The agent: $TAVIMOR_WINE_AGENT ("none" for none), else the one installed with the programs;
    // "" when there is none. A prefix where it cannot run (32-bit, no drive for /) uses reg.
    static QString agentProgram();
    void setTimeout(int milliseconds) { m_timeout = milliseconds; }

    // Reads give ERROR_FILE_NOT_FOUND (or *exists false) only when reg said the key or value is not
    // there; ERROR_CANTREAD, with lastError() saying why, when it could not be asked.
    long keyExists(const QString& key, bool* exists);
    long createKey(const QString& key);
    long readValue(const QString& key, const QString& name, RegValue* value);
    long writeValue(const QString& key, const QString& name, const RegValue& value);
    // ERROR_FILE_NOT_FOUND when the value was not there.
    long deleteValue(const QString& key, const QString& name);
    // What "reg export" writes for a key and everything below it (a version 5 .reg file in UTF-16LE).
    struct Export {
        QString key;
        long status = ERROR_SUCCESS; // ERROR_CANTREAD when it could not be read; then error says why
        bool exists = false;         // false, with ERROR_SUCCESS, when there is no such key
        QByteArray content;
        QString error;
    };
    // One "reg export" per key, all running at once.
    QList<Export> exportKeys(const QStringList& keys);
    // Makes the patch's changes in order, as "reg import" of it would. Like reg, goes on past a key it
    // cannot write and says so in *messages only, so what it did is for the caller to read back.
    long importPatch(const RegPatch& patch, QString* messages);
    // Ends the prefix's Windows session and boots it again, as Wine's own restart does.
    bool restart();

    // Parses "reg query KEY /v NAME" output; nullopt when the value is not in it.
    static std::optional<RegValue> parseQuery(const QByteArray& output, const QString& name);
    QString lastError() const { return m_lastError; }
    // How many Wine processes were started so far.
    int processesStarted() const { return m_started; }

private:
    struct Run {
        bool talk = false; // standard input is a pipe to write requests to
        QStringList arguments;
        QString folder;
        QString what; // "wine reg ..."
        std::unique_ptr<QProcess> process;
        int code = -1; // the exit code, -1 when Wine could not be run or did not end in time
        QByteArray output;
        QByteArray errors;
        QString error; // why it failed; "" for exit code 0
    };
    // false, with run.error set, when the program could not be started.
    bool start(Run& run);
    // Waits for the started runs together and fills in how each ended.
    void finish(const QList<Run*>& runs);
    // The exit code, or -1 when Wine could not be run or did not end in time.
    int run(const QStringList& arguments, QByteArray* output = nullptr, const QString& folder = QString(),
            QByteArray* errors = nullptr);
    // What a read's exit code and output say: found, not there, or not read.
    static long readStatusOf(int code, const QByteArray& output);
    long readStatus(int code) const;

    struct Reply {
        long status = ERROR_SUCCESS; // the registry function's
        QByteArray body;
    };
    enum class Asked { NoAgent, Answered, Failed };
    // The agent's replies to the requests, in order. NoAgent when there is none or it cannot run in
    // this prefix (reg does the step then); Failed, with lastError() saying why, when it stopped
    // answering: it is not asked again.
    Asked ask(const QList<QByteArray>& requests, QList<Reply>* replies);
    Asked askOne(const QByteArray& request, Reply* reply);
    // A write through the agent: its status, with lastError() as failure and Wine's reason;
    // nullopt when there is no agent and reg does it.
    std::optional<long> agentWrite(const QByteArray& request, const QString& failure);
    // false when it could not be started; then reg does the step.
    bool startAgent();
    void stopAgent();
    long importFile(const QByteArray& content, QString* messages);

    QString m_prefix;
    QString m_lastError;
    QByteArray m_output; // the last run's standard output
    int m_started = 0;
    int m_timeout = 60000;
    std::unique_ptr<Run> m_agent;
    QByteArray m_agentOutput; // what the agent said that is not yet taken
    int m_agentRuns = 0;
    bool m_agentAnswered = false;
    bool m_agentUnusable = false;
};

} // namespace tavimor
