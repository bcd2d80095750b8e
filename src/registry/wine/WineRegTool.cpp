// SPDX-License-Identifier: GPL-3.0-or-later
#include "WineRegTool.h"

#include "TavimorVersion.h"
#include "WineRegSyntax.h"
#include "base/RunTimeTool.h"
#include "base/Waiting.h"
#include "registry/regfile/RegPatch.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>

namespace tavimor {

namespace {

const char* typeName(quint32 type) {
    switch (type) {
    case REG_NONE:
        return "REG_NONE";
    case REG_SZ:
        return "REG_SZ";
    case REG_EXPAND_SZ:
        return "REG_EXPAND_SZ";
    case REG_BINARY:
        return "REG_BINARY";
    case REG_DWORD:
        return "REG_DWORD";
    case REG_MULTI_SZ:
        return "REG_MULTI_SZ";
    case REG_QWORD:
        return "REG_QWORD";
    default:
        return nullptr;
    }
}

QStringList valueArguments(const QString& name) {
    return name.isEmpty() ? QStringList{QStringLiteral("/ve")} : QStringList{QStringLiteral("/v"), name};
}

// A text of a request to the agent: UTF-16LE in hex, "-" when empty.
QByteArray field(const QString& text) {
    return text.isEmpty() ? QByteArray("-") : winereg::utf16Data(text, false).toHex();
}

QByteArray request(char kind, const QString& key, const QString* name = nullptr) {
    QByteArray line = QByteArray(1, kind) + ' ' + field(key);
    if (name)
        line += ' ' + field(*name);
    return line;
}

QByteArray setRequest(const QString& key, const QString& name, const RegValue& value) {
    const RegValue stored = winereg::fromAnsi(value);
    return request('S', key, &name) + ' ' + QByteArray::number(stored.type, 16) + ' ' +
           (stored.data.isEmpty() ? QByteArray("-") : stored.data.toHex());
}

QString refusal(long status) {
    switch (status) {
    case ERROR_ACCESS_DENIED:
        return QStringLiteral("access denied");
    case 1021: // ERROR_CHILD_MUST_BE_VOLATILE
        return QStringLiteral("a key below a volatile one must be volatile too");
    default:
        return QStringLiteral("Windows error %1").arg(status);
    }
}

// Whether the agent's status for a write refuses it. Deleting a value that is not there is nothing
// to do, as reg says too.
bool refuses(bool deletion, long status) {
    return status != ERROR_SUCCESS && !(deletion && isNotThere(status));
}

QByteArray ansiText(const QByteArray& data) {
    QByteArray text = data;
    while (text.endsWith('\0'))
        text.chop(1);
    return text;
}

} // namespace

WineRegTool::WineRegTool(const QString& prefix)
    : m_prefix(prefix) {
}

WineRegTool::~WineRegTool() {
    stopAgent();
}

QString WineRegTool::agentProgram() {
    const QString name = QStringLiteral("tavimor-wine-agent.exe");
    if (qEnvironmentVariableIsSet("TAVIMOR_WINE_AGENT")) {
        const QString given = qEnvironmentVariable("TAVIMOR_WINE_AGENT");
        return QFileInfo(given).isFile() ? QFileInfo(given).absoluteFilePath() : QString();
    }
    if (!QCoreApplication::instance())
        return QString();
    const QString folder = QCoreApplication::applicationDirPath();
    for (const QString& candidate :
         QStringList{folder + QStringLiteral("/" TAVIMOR_AGENT_FROM_BIN "/") + name,
                     folder + QLatin1Char('/') + name}) {
        if (QFileInfo(candidate).isFile())
            return QDir::cleanPath(candidate);
    }
    return QString();
}

void WineRegTool::stopAgent() {
    if (!m_agent)
        return;
    if (m_agent->process && m_agent->process->state() != QProcess::NotRunning) {
        // Its end of input ends it; every write was made before its reply.
        m_agent->process->closeWriteChannel();
        if (!m_agent->process->waitForFinished(2000))
            m_agent->process->kill();
        m_agent->process->waitForFinished(1000);
    }
    m_agent.reset();
    m_agentOutput.clear();
}

bool WineRegTool::startAgent() {
    stopAgent();
    const QString program = agentProgram();
    if (program.isEmpty()) {
        m_agentUnusable = true;
        return false;
    }
    m_agent = std::make_unique<Run>();
    m_agent->talk = true;
    m_agent->arguments = {program};
    ++m_agentRuns;
    if (start(*m_agent))
        return true;
    // What keeps it from starting keeps reg from starting too, which says so.
    m_agent.reset();
    return false;
}

WineRegTool::Asked WineRegTool::ask(const QList<QByteArray>& requests, QList<Reply>* replies) {
    replies->clear();
    if (m_agentUnusable)
        return Asked::NoAgent;
    const auto failed = [&](const QString& why) {
        QString said;
        if (m_agent) {
            m_agent->process->kill();
            m_agent->process->waitForFinished(1000);
            said = QString::fromLocal8Bit(m_agent->process->readAllStandardError()).trimmed();
        }
        stopAgent();
        // Cancelled, the next step starts another; one that failed leaves the rest to reg.
        const bool cancelled = why.startsWith(QStringLiteral("Cancelled"));
        m_agentUnusable = !cancelled;
        // Never answered: it cannot run in this prefix, and reg does the work.
        if (!m_agentAnswered && !cancelled)
            return Asked::NoAgent;
        m_lastError = said.isEmpty() ? why : why + QStringLiteral(": ") + said;
        return Asked::Failed;
    };
    int sentTo = 0;    // the run of the agent the requests not yet answered went to
    int farewells = 0; // "bye"s since the last answer
    QDeadlineTimer deadline(m_timeout);
    while (replies->size() < requests.size()) {
        // One that ended between requests (idle, or killed) is started again; nothing was lost.
        if (m_agent && sentTo != m_agentRuns)
            m_agent->process->waitForFinished(0);
        if (!m_agent || (sentTo != m_agentRuns && m_agent->process->state() == QProcess::NotRunning)) {
            if (!startAgent())
                return replies->isEmpty() ? Asked::NoAgent
                                          : failed(QStringLiteral("Cannot start the Wine agent"));
        }
        QProcess& process = *m_agent->process;
        const QString what = m_agent->what;
        if (sentTo != m_agentRuns) {
            sentTo = m_agentRuns;
            QByteArray lines;
            for (qsizetype i = replies->size(); i < requests.size(); ++i)
                lines += requests[i] + '\n';
            process.write(lines);
        }
        const qsizetype end = m_agentOutput.indexOf('\n');
        if (end >= 0 && m_agentOutput.startsWith("bye\n")) {
            // Ended idle before it read the rest: a new one is asked, but not one after another.
            if (sentTo == m_agentRuns && ++farewells > 1)
                return failed(QStringLiteral("%1 ended without answering").arg(what));
            process.waitForFinished(1000);
            stopAgent();
            continue;
        }
        if (end >= 0) {
            const QList<QByteArray> head = m_agentOutput.left(end).split(' ');
            bool statusOk = false;
            bool sizeOk = false;
            const long status = head.size() == 2 ? head[0].toLong(&statusOk) : 0;
            const qsizetype size = head.size() == 2 ? head[1].toLongLong(&sizeOk) : 0;
            if (!statusOk || !sizeOk || size < 0)
                return failed(QStringLiteral("%1 answered what no request asks").arg(what));
            if (m_agentOutput.size() - end - 1 >= size) {
                replies->append(Reply{status, m_agentOutput.mid(end + 1, size)});
                m_agentOutput.remove(0, end + 1 + size);
                m_agentAnswered = true;
                farewells = 0;
                deadline.setRemainingTime(m_timeout);
                continue;
            }
        }
        if (process.state() == QProcess::NotRunning && !process.bytesAvailable())
            return failed(QStringLiteral("%1 ended before it answered").arg(what));
        if (deadline.hasExpired())
            return failed(QStringLiteral("%1 did not answer in time").arg(what));
        if (!keepWaiting(what))
            return failed(QStringLiteral("Cancelled: %1").arg(what));
        process.waitForReadyRead(50);
        m_agentOutput += process.readAllStandardOutput();
    }
    return Asked::Answered;
}

std::optional<long> WineRegTool::agentWrite(const QByteArray& request, const QString& failure) {
    Reply reply;
    switch (askOne(request, &reply)) {
    case Asked::Answered:
        if (!refuses(request.startsWith('D'), reply.status))
            return reply.status == ERROR_SUCCESS ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
        m_lastError = failure + QStringLiteral(": ") + refusal(reply.status);
        return ERROR_CANTWRITE;
    case Asked::Failed:
        return ERROR_CANTWRITE;
    case Asked::NoAgent:
        break;
    }
    return std::nullopt;
}

WineRegTool::Asked WineRegTool::askOne(const QByteArray& request, Reply* reply) {
    QList<Reply> replies;
    const Asked asked = ask({request}, &replies);
    if (asked == Asked::Answered)
        *reply = replies.first();
    return asked;
}

QString WineRegTool::wineProgram() {
    const QString configured = qEnvironmentVariable("WINE");
    if (!configured.isEmpty())
        return configured;
    for (const char* name : {"wine", "wine64"}) {
        const QString found = QStandardPaths::findExecutable(QLatin1String(name));
        if (!found.isEmpty())
            return found;
    }
    // Debian's wine64 without the package wine's wrappers: ../lib/wine/wine64 beside /usr/bin.
    for (const QString& folder : qEnvironmentVariable("PATH").split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        const QString beside = QDir::cleanPath(folder + QStringLiteral("/../lib/wine/wine64"));
        if (QFileInfo(beside).isExecutable())
            return beside;
    }
    return QString();
}

bool WineRegTool::start(Run& run) {
    run.what = QStringLiteral("wine ") + run.arguments.join(QLatin1Char(' '));
    const QString wine = wineProgram();
    if (wine.isEmpty()) {
        run.error = toolNeeded(QStringLiteral("The target wine:") + m_prefix, QStringLiteral("wine"),
                               QStringLiteral("wine"));
        return false;
    }
    // A cancelled operation starts no more programs.
    if (!keepWaiting(run.what)) {
        run.error = QStringLiteral("Cancelled: %1").arg(run.what);
        return false;
    }
    run.process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("WINEPREFIX"), m_prefix);
    if (!environment.contains(QStringLiteral("WINEDEBUG")))
        environment.insert(QStringLiteral("WINEDEBUG"), QStringLiteral("-all"));
    run.process->setProcessEnvironment(environment);
    if (!run.talk)
        run.process->setStandardInputFile(QProcess::nullDevice());
    if (!run.folder.isEmpty())
        run.process->setWorkingDirectory(run.folder);
    ++m_started;
    // A bare program name makes Wine start start.exe to look for it, a second process as dear as the first.
    QStringList arguments = run.arguments;
    if (!arguments.isEmpty()) {
        const QString program = arguments.first() + QStringLiteral(".exe");
        if (QFileInfo::exists(m_prefix + QStringLiteral("/drive_c/windows/system32/") + program))
            arguments.first() = QStringLiteral("C:\\windows\\system32\\") + program;
    }
    run.process->start(wine, arguments);
    if (!run.process->waitForStarted(m_timeout)) {
        run.error = QStringLiteral("Cannot run %1: %2").arg(wine, run.process->errorString());
        return false;
    }
    return true;
}

void WineRegTool::finish(const QList<Run*>& runs) {
    QList<QProcess*> running;
    QStringList names;
    for (Run* run : runs) {
        if (run->error.isEmpty()) {
            running.append(run->process.get());
            names.append(run->what);
        }
    }
    const QString what = names.join(QStringLiteral(", "));
    const WaitResult waited =
        running.isEmpty() ? WaitResult::Finished : waitForProcesses(running, m_timeout, what);
    for (Run* run : runs) {
        if (!run->error.isEmpty())
            continue;
        QProcess& process = *run->process;
        if (waited == WaitResult::TimedOut && process.exitStatus() != QProcess::NormalExit) {
            run->error = QStringLiteral("%1 did not finish in time").arg(run->what);
            continue;
        }
        if (waited == WaitResult::Cancelled && process.exitStatus() != QProcess::NormalExit) {
            run->error = QStringLiteral("Cancelled: %1").arg(run->what);
            continue;
        }
        run->output = process.readAllStandardOutput();
        run->errors = process.readAllStandardError();
        if (process.exitStatus() != QProcess::NormalExit) {
            run->error = QStringLiteral("%1 crashed").arg(run->what);
            continue;
        }
        run->code = process.exitCode();
        if (run->code != 0) {
            run->error = QString::fromLocal8Bit(run->output + run->errors).trimmed();
            if (run->error.isEmpty())
                run->error = QStringLiteral("%1 ended with exit code %2").arg(run->what).arg(run->code);
        }
    }
}

int WineRegTool::run(const QStringList& arguments, QByteArray* output, const QString& folder,
                     QByteArray* errors) {
    Run one;
    one.arguments = arguments;
    one.folder = folder;
    if (start(one) || !one.process)
        finish({&one});
    m_output = one.output;
    if (output)
        *output = one.output;
    if (errors)
        *errors = one.errors;
    if (!one.error.isEmpty())
        m_lastError = one.error;
    return one.code;
}

long WineRegTool::readStatusOf(int code, const QByteArray& output) {
    if (code == 0)
        return ERROR_SUCCESS;
    // reg says "not found" with exit code 1 and a line of its own, in the user's language; any other
    // end (Wine that does not start, a crash, a time limit, Cancel) means it could not be read.
    if (code == 1 && output.trimmed().startsWith("reg"))
        return ERROR_FILE_NOT_FOUND;
    return ERROR_CANTREAD;
}

long WineRegTool::readStatus(int code) const {
    return readStatusOf(code, m_output);
}

long WineRegTool::keyExists(const QString& key, bool* exists) {
    Reply reply;
    switch (askOne(request('Q', key), &reply)) {
    case Asked::Answered:
        if (reply.status != ERROR_SUCCESS && !isNotThere(reply.status)) {
            m_lastError = QStringLiteral("Cannot read %1: %2").arg(key, refusal(reply.status));
            return ERROR_CANTREAD;
        }
        *exists = reply.status == ERROR_SUCCESS;
        return ERROR_SUCCESS;
    case Asked::Failed:
        return ERROR_CANTREAD;
    case Asked::NoAgent:
        break;
    }
    const long status = readStatus(run({QStringLiteral("reg"), QStringLiteral("query"), key}));
    if (status == ERROR_CANTREAD)
        return status;
    *exists = status == ERROR_SUCCESS;
    return ERROR_SUCCESS;
}

long WineRegTool::createKey(const QString& key) {
    if (const std::optional<long> made =
            agentWrite(request('K', key), QStringLiteral("Cannot make %1").arg(key)))
        return *made;
    if (run({QStringLiteral("reg"), QStringLiteral("add"), key, QStringLiteral("/f")}) != 0)
        return ERROR_CANTWRITE;
    // Wine's reg gives a key it makes an empty default value, which a key made by Windows has not.
    run({QStringLiteral("reg"), QStringLiteral("delete"), key, QStringLiteral("/ve"), QStringLiteral("/f")});
    return ERROR_SUCCESS;
}

long WineRegTool::readValue(const QString& key, const QString& name, RegValue* value) {
    Reply reply;
    switch (askOne(request('Q', key, &name), &reply)) {
    case Asked::Answered: {
        if (isNotThere(reply.status))
            return ERROR_FILE_NOT_FOUND;
        if (reply.status != ERROR_SUCCESS || reply.body.size() < 4) {
            m_lastError = QStringLiteral("Cannot read %1 of %2: %3").arg(name, key, refusal(reply.status));
            return ERROR_CANTREAD;
        }
        const RegValue stored{qFromLittleEndian<quint32>(reply.body.constData()), reply.body.mid(4)};
        if (textBeyondLatin1(stored)) {
            m_lastError = textBeyondLatin1Reason(QStringLiteral("%1\\%2").arg(key, name));
            return ERROR_CANTREAD;
        }
        *value = winereg::toAnsi(stored);
        return ERROR_SUCCESS;
    }
    case Asked::Failed:
        return ERROR_CANTREAD;
    case Asked::NoAgent:
        break;
    }
    QByteArray output;
    const long status = readStatus(run(
        QStringList{QStringLiteral("reg"), QStringLiteral("query"), key} + valueArguments(name), &output));
    if (status != ERROR_SUCCESS)
        return status;
    const std::optional<RegValue> found = parseQuery(output, name);
    if (!found)
        return ERROR_FILE_NOT_FOUND;
    *value = *found;
    return ERROR_SUCCESS;
}

long WineRegTool::writeValue(const QString& key, const QString& name, const RegValue& value) {
    const char* type = typeName(value.type);
    if (!type)
        return ERROR_INVALID_PARAMETER;
    QString data;
    if (value.type == REG_DWORD && value.data.size() == 4) {
        data = QString::number(qFromLittleEndian<quint32>(value.data.constData()));
    } else if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) {
        data = QString::fromLatin1(ansiText(value.data));
    } else if (value.type == REG_MULTI_SZ) {
        data = QString::fromLatin1(ansiText(value.data)).replace(QChar(0), QStringLiteral("\\0"));
    } else if (value.type == REG_QWORD && value.data.size() == 8) {
        data = QString::number(qFromLittleEndian<quint64>(value.data.constData()));
    } else if (value.type == REG_DWORD || value.type == REG_QWORD) {
        return ERROR_INVALID_PARAMETER;
    } else {
        data = QString::fromLatin1(value.data.toHex());
    }
    if (const std::optional<long> written =
            agentWrite(setRequest(key, name, value), QStringLiteral("Cannot write %1 of %2").arg(name, key)))
        return *written;
    const QStringList arguments = QStringList{QStringLiteral("reg"), QStringLiteral("add"), key} +
                                  valueArguments(name) +
                                  QStringList{QStringLiteral("/t"), QLatin1String(type), QStringLiteral("/d"),
                                              data, QStringLiteral("/f")};
    return run(arguments) == 0 ? ERROR_SUCCESS : ERROR_CANTWRITE;
}

long WineRegTool::deleteValue(const QString& key, const QString& name) {
    if (const std::optional<long> deleted =
            agentWrite(request('D', key, &name), QStringLiteral("Cannot delete %1 of %2").arg(name, key)))
        return *deleted;
    const int code = run(QStringList{QStringLiteral("reg"), QStringLiteral("delete"), key} +
                         valueArguments(name) + QStringList{QStringLiteral("/f")});
    if (code == 0)
        return ERROR_SUCCESS;
    // reg gives the same exit code for a missing value and a failed delete; a query tells them apart.
    const QString why = m_lastError;
    RegValue left;
    const long status = readValue(key, name, &left);
    if (status == ERROR_FILE_NOT_FOUND)
        return ERROR_FILE_NOT_FOUND;
    if (status == ERROR_SUCCESS)
        m_lastError = why;
    return ERROR_CANTWRITE;
}

QList<WineRegTool::Export> WineRegTool::exportKeys(const QStringList& keys) {
    QList<Export> exports;
    QList<QByteArray> requests;
    for (const QString& key : keys)
        requests.append(request('E', key));
    QList<Reply> replies;
    switch (ask(requests, &replies)) {
    case Asked::Answered:
        for (qsizetype i = 0; i < keys.size(); ++i) {
            const Reply& reply = replies[i];
            // A subtree with a key Wine will not list (Perflib's under Windows 9x versions) is no
            // export the reader takes: its values are then asked one by one, and fail one by one.
            exports.append(Export{keys[i],
                                  ERROR_SUCCESS,
                                  !isNotThere(reply.status),
                                  reply.status == ERROR_SUCCESS ? reply.body : QByteArray(),
                                  {}});
        }
        return exports;
    case Asked::Failed:
        for (const QString& key : keys)
            exports.append(Export{key, ERROR_CANTREAD, false, {}, m_lastError});
        return exports;
    case Asked::NoAgent:
        break;
    }
    // A name relative to the working folder reaches it whichever drive letter maps it.
    const QTemporaryDir folder;
    std::vector<Run> runs(size_t(keys.size()));
    QList<Run*> started;
    for (qsizetype i = 0; i < keys.size(); ++i) {
        Run& run = runs[size_t(i)];
        run.arguments = {QStringLiteral("reg"), QStringLiteral("export"), keys[i],
                         QStringLiteral("export%1.reg").arg(i), QStringLiteral("/y")};
        run.folder = folder.path();
        if (!folder.isValid())
            run.error = QStringLiteral("Cannot make a temporary folder: %1").arg(folder.errorString());
        else if (start(run))
            started.append(&run);
    }
    // Side by side: each takes a Wine process's start-up time, which is most of what it costs.
    finish(started);
    for (qsizetype i = 0; i < keys.size(); ++i) {
        const Run& run = runs[size_t(i)];
        Export result{keys[i], readStatusOf(run.code, run.output), false, {}, run.error};
        result.exists = result.status == ERROR_SUCCESS;
        if (result.status == ERROR_FILE_NOT_FOUND) {
            result.status = ERROR_SUCCESS;
        } else if (result.exists) {
            QFile file(folder.filePath(QStringLiteral("export%1.reg").arg(i)));
            if (file.open(QIODevice::ReadOnly)) {
                result.content = file.readAll();
            } else {
                result.status = ERROR_CANTREAD;
                result.error = QStringLiteral("reg export wrote no file for %1").arg(keys[i]);
            }
        }
        exports.append(result);
    }
    return exports;
}

long WineRegTool::importPatch(const RegPatch& patch, QString* messages) {
    using Kind = RegPatch::Change::Kind;
    QList<QByteArray> requests;
    for (const RegPatch::Change& change : patch.changes()) {
        if (change.kind == Kind::CreateKey)
            requests.append(request('K', change.keyPath));
        else if (change.kind == Kind::SetValue)
            requests.append(setRequest(change.keyPath, change.name, change.value));
        else if (change.kind == Kind::DeleteValue)
            requests.append(request('D', change.keyPath, &change.name));
        else
            break; // a key's deletion is reg's
    }
    QList<Reply> replies;
    const Asked asked = requests.size() == patch.changes().size() ? ask(requests, &replies) : Asked::NoAgent;
    if (asked == Asked::Failed)
        return ERROR_CANTWRITE;
    if (asked == Asked::NoAgent)
        return importFile(patch.serialize(RegFormat::Version5), messages);
    QStringList refused;
    for (qsizetype i = 0; i < replies.size(); ++i) {
        const RegPatch::Change& change = patch.changes()[i];
        const long status = replies[i].status;
        if (refuses(change.kind == Kind::DeleteValue, status))
            refused.append(QStringLiteral("%1: %2").arg(change.keyPath, refusal(status)));
    }
    *messages = refused.join(QLatin1Char('\n'));
    return ERROR_SUCCESS;
}

long WineRegTool::importFile(const QByteArray& content, QString* messages) {
    const QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("import.reg")));
    if (!folder.isValid() || !file.open(QIODevice::WriteOnly) || file.write(content) != content.size() ||
        !file.flush()) {
        m_lastError = QStringLiteral("Cannot write a temporary file for reg import: %1")
                          .arg(folder.isValid() ? file.errorString() : folder.errorString());
        return ERROR_CANTWRITE;
    }
    file.close();
    QByteArray output;
    QByteArray errors;
    const int code = run({QStringLiteral("reg"), QStringLiteral("import"), QStringLiteral("import.reg")},
                         &output, folder.path(), &errors);
    *messages = QString::fromLocal8Bit(output + errors).trimmed();
    if (code < 0)
        return ERROR_CANTWRITE;
    return ERROR_SUCCESS;
}

bool WineRegTool::restart() {
    stopAgent();
    return run({QStringLiteral("wineboot"), QStringLiteral("--end-session"), QStringLiteral("--force"),
                QStringLiteral("--restart")}) == 0;
}

std::optional<RegValue> WineRegTool::parseQuery(const QByteArray& output, const QString& name) {
    const QByteArray wanted = name.isEmpty() ? QByteArray("(Default)") : name.toLatin1();
    const QList<QByteArray> lines = output.split('\n');
    for (QByteArray line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.startsWith("    "))
            continue;
        const QByteArray rest = line.mid(4);
        if (!rest.startsWith(QByteArray(wanted + "    REG_")))
            continue;
        QByteArray typeAndData = rest.mid(wanted.size() + 4);
        const qsizetype gap = typeAndData.indexOf("    ");
        const QByteArray type = gap < 0 ? typeAndData : typeAndData.left(gap);
        const QByteArray data = gap < 0 ? QByteArray() : typeAndData.mid(gap + 4);
        if (type == "REG_DWORD") {
            bool ok = false;
            const quint32 number = data.toUInt(&ok, 0);
            if (!ok)
                return std::nullopt;
            return regDword(number);
        }
        if (type == "REG_SZ" || type == "REG_EXPAND_SZ")
            return RegValue{type == "REG_SZ" ? REG_SZ : REG_EXPAND_SZ, data + '\0'};
        if (type == "REG_MULTI_SZ") {
            QByteArray bytes = data;
            bytes.replace("\\0", QByteArray(1, '\0'));
            return RegValue{REG_MULTI_SZ, bytes + QByteArray(2, '\0')};
        }
        if (type == "REG_BINARY" || type == "REG_NONE")
            return RegValue{type == "REG_BINARY" ? REG_BINARY : REG_NONE, QByteArray::fromHex(data)};
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace tavimor
