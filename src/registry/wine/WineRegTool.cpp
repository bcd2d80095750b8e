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

int WineRegTool::run(const QStringList& arguments, QByteArray* output, const QString& folder,
                     QByteArray* errors) {
    const QString wine = wineProgram();
    if (wine.isEmpty()) {
        m_lastError = toolNeeded(QStringLiteral("The target wine:") + m_prefix, QStringLiteral("wine"),
                                 QStringLiteral("wine"));
        return -1;
    }
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("WINEPREFIX"), m_prefix);
    if (!environment.contains(QStringLiteral("WINEDEBUG")))
        environment.insert(QStringLiteral("WINEDEBUG"), QStringLiteral("-all"));
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    const QString what = QStringLiteral("wine ") + arguments.join(QLatin1Char(' '));
    // A cancelled operation starts no more programs.
    if (!keepWaiting(what)) {
        m_lastError = QStringLiteral("Cancelled: %1").arg(what);
        return -1;
    }
    if (!folder.isEmpty())
        process.setWorkingDirectory(folder);
    process.start(wine, arguments);
    if (!process.waitForStarted(m_timeout)) {
        m_lastError = QStringLiteral("Cannot run %1: %2").arg(wine, process.errorString());
        return -1;
    }
    switch (waitForProcess(process, m_timeout, what)) {
    case WaitResult::Finished:
        break;
    case WaitResult::TimedOut:
        m_lastError =
            QStringLiteral("%1 %2 did not finish in time").arg(wine, arguments.join(QLatin1Char(' ')));
        return -1;
    case WaitResult::Cancelled:
        m_lastError = QStringLiteral("Cancelled: %1").arg(what);
        return -1;
    }
    if (output)
        *output = process.readAllStandardOutput();
    if (errors)
        *errors = process.readAllStandardError();
    if (process.exitStatus() != QProcess::NormalExit) {
        m_lastError = QStringLiteral("%1 %2 crashed").arg(wine, arguments.join(QLatin1Char(' ')));
        return -1;
    }
    if (process.exitCode() != 0)
        m_lastError = QString::fromLocal8Bit(errors ? *errors : process.readAllStandardError()).trimmed();
    return process.exitCode();
}

long WineRegTool::keyExists(const QString& key, bool* exists) {
    const int code = run({QStringLiteral("reg"), QStringLiteral("query"), key});
    if (code < 0)
        return ERROR_CANTREAD;
    *exists = code == 0;
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
    const int code =
        run(QStringList{QStringLiteral("reg"), QStringLiteral("query"), key} + valueArguments(name), &output);
    if (code < 0)
        return ERROR_CANTREAD;
    const std::optional<RegValue> found = code == 0 ? parseQuery(output, name) : std::nullopt;
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
    m_lastError = why;
    if (status == ERROR_FILE_NOT_FOUND)
        return ERROR_FILE_NOT_FOUND;
    return ERROR_CANTWRITE;
}

long WineRegTool::exportKey(const QString& key, QByteArray* content, bool* exists) {
    // A name relative to the working folder reaches it whichever drive letter maps it.
    const QTemporaryDir folder;
    if (!folder.isValid()) {
        m_lastError = QStringLiteral("Cannot make a temporary folder: %1").arg(folder.errorString());
        return ERROR_CANTREAD;
    }
    const int code = run({QStringLiteral("reg"), QStringLiteral("export"), key, QStringLiteral("export.reg"),
                          QStringLiteral("/y")},
                         nullptr, folder.path());
    if (code < 0)
        return ERROR_CANTREAD;
    QFile file(folder.filePath(QStringLiteral("export.reg")));
    *exists = code == 0;
    if (!*exists)
        return ERROR_SUCCESS;
    if (!file.open(QIODevice::ReadOnly)) {
        m_lastError = QStringLiteral("reg export wrote no file for %1").arg(key);
        return ERROR_CANTREAD;
    }
    *content = file.readAll();
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
