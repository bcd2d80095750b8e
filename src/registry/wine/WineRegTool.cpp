// SPDX-License-Identifier: GPL-3.0-or-later
#include "WineRegTool.h"

#include "base/RunTimeTool.h"
#include "base/Waiting.h"

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
    const long status = readStatus(run({QStringLiteral("reg"), QStringLiteral("query"), key}));
    if (status == ERROR_CANTREAD)
        return status;
    *exists = status == ERROR_SUCCESS;
    return ERROR_SUCCESS;
}

long WineRegTool::createKey(const QString& key) {
    if (run({QStringLiteral("reg"), QStringLiteral("add"), key, QStringLiteral("/f")}) != 0)
        return ERROR_CANTWRITE;
    // Wine's reg gives a key it makes an empty default value, which a key made by Windows has not.
    run({QStringLiteral("reg"), QStringLiteral("delete"), key, QStringLiteral("/ve"), QStringLiteral("/f")});
    return ERROR_SUCCESS;
}

long WineRegTool::readValue(const QString& key, const QString& name, RegValue* value) {
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
    const QStringList arguments = QStringList{QStringLiteral("reg"), QStringLiteral("add"), key} +
                                  valueArguments(name) +
                                  QStringList{QStringLiteral("/t"), QLatin1String(type), QStringLiteral("/d"),
                                              data, QStringLiteral("/f")};
    return run(arguments) == 0 ? ERROR_SUCCESS : ERROR_CANTWRITE;
}

long WineRegTool::deleteValue(const QString& key, const QString& name) {
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
