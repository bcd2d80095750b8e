// SPDX-License-Identifier: GPL-3.0-or-later
#include "GpoDirectory.h"

#include "base/RunTimeTool.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

namespace tavimor {

namespace {

constexpr int kToolMilliseconds = 60000;
constexpr char kLdbPackage[] = "ldb-tools";

// RFC 4515: the characters a filter value must escape.
QString escapeFilter(const QString& value) {
    QString out;
    for (const QChar c : value) {
        if (c == QLatin1Char('*') || c == QLatin1Char('(') || c == QLatin1Char(')') ||
            c == QLatin1Char('\\') || c.unicode() == 0)
            out += QStringLiteral("\\%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

} // namespace

QString asGuid(const QString& text) {
    static const QRegularExpression guid(QStringLiteral(
        "^\\{?([0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12})\\}?$"));
    const QRegularExpressionMatch match = guid.match(text.trimmed());
    return match.hasMatch() ? QLatin1Char('{') + match.captured(1).toUpper() + QLatin1Char('}') : QString();
}

QString GpoDirectory::urlBesideSysvol(const QString& sysvol) {
    for (const char* relative : {"/../private/sam.ldb", "/../../private/sam.ldb"}) {
        const QString path = QDir::cleanPath(QFileInfo(sysvol).absoluteFilePath() + QLatin1String(relative));
        if (QFileInfo(path).isFile())
            return QStringLiteral("ldb://") + path;
    }
    return QString();
}

QList<GpoContainer> parseGpoLdif(const QByteArray& ldif) {
    QList<GpoContainer> found;
    QList<QByteArray> lines;
    for (const QByteArray& line : ldif.split('\n')) {
        const QByteArray bare = line.endsWith('\r') ? line.chopped(1) : line;
        if (bare.startsWith(' ') && !lines.isEmpty())
            lines.last() += bare.mid(1);
        else
            lines.append(bare);
    }
    GpoContainer* current = nullptr;
    for (const QByteArray& line : std::as_const(lines)) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = line.left(colon).toLower();
        QString value;
        if (line.mid(colon + 1).startsWith(':'))
            value = QString::fromUtf8(QByteArray::fromBase64(line.mid(colon + 2).trimmed()));
        else
            value = QString::fromUtf8(line.mid(colon + 1).trimmed());
        if (name == "dn") {
            found.append(GpoContainer());
            current = &found.last();
            current->dn = value;
        } else if (!current) {
            continue;
        } else if (name == "name" || name == "cn") {
            current->guid = asGuid(value).isEmpty() ? current->guid : asGuid(value);
        } else if (name == "displayname") {
            current->displayName = value;
        } else if (name == "versionnumber") {
            current->version = quint32(value.toLongLong());
        } else if (name == "gpcuserextensionnames") {
            current->userExtensions = value;
        } else if (name == "gpcmachineextensionnames") {
            current->machineExtensions = value;
        }
    }
    return found;
}

QString GpoDirectory::missingTool(bool forUpdate) const {
    QStringList tools{QStringLiteral("ldbsearch")};
    if (forUpdate)
        tools.append(QStringLiteral("ldbmodify"));
    QString problem;
    for (const QString& tool : std::as_const(tools))
        if (findTool(m_neededBy, tool, QLatin1String(kLdbPackage), &problem).isEmpty())
            return problem;
    return QString();
}

bool GpoDirectory::runTool(const QString& tool, const QStringList& args, const QByteArray& input,
                           QByteArray* output, QString* error) const {
    const QString program = findTool(m_neededBy, tool, QLatin1String(kLdbPackage), error);
    if (program.isEmpty())
        return false;
    QProcess process;
    process.start(program, args);
    if (!process.waitForStarted(kToolMilliseconds)) {
        *error = QStringLiteral("%1 could not be started: %2").arg(program, process.errorString());
        return false;
    }
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(kToolMilliseconds)) {
        process.kill();
        process.waitForFinished();
        *error = QStringLiteral("%1 did not finish").arg(tool);
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        const QString said =
            QString::fromUtf8(process.readAllStandardError()).trimmed().section(QLatin1Char('\n'), -1);
        *error = QStringLiteral("%1 failed on %2: %3").arg(tool, m_url, said);
        return false;
    }
    if (output)
        *output = process.readAllStandardOutput();
    return true;
}

std::optional<QList<GpoContainer>> GpoDirectory::find(const QString& gpo, QString* error) const {
    const QString guid = asGuid(gpo);
    QString filter = QStringLiteral("(objectClass=groupPolicyContainer)");
    if (!guid.isEmpty())
        filter = QStringLiteral("(&%1(name=%2))").arg(filter, guid);
    else if (!gpo.isEmpty())
        filter = QStringLiteral("(&%1(displayName=%2))").arg(filter, escapeFilter(gpo));
    QByteArray output;
    if (!runTool(QStringLiteral("ldbsearch"),
                 {QStringLiteral("-H"), m_url, filter, QStringLiteral("name"), QStringLiteral("displayName"),
                  QStringLiteral("versionNumber"), QStringLiteral("gPCUserExtensionNames"),
                  QStringLiteral("gPCMachineExtensionNames")},
                 {}, &output, error))
        return std::nullopt;
    return parseGpoLdif(output);
}

bool isOwnDn(const QString& dn, const QString& guid) {
    static const QRegularExpression own(
        QStringLiteral("^CN=(\\{[0-9A-F-]{36}\\}),CN=Policies,CN=System(,DC=[A-Z0-9_-]+)+\\z"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = own.match(dn);
    return match.hasMatch() && !guid.isEmpty() && asGuid(match.captured(1)) == guid;
}

bool GpoDirectory::update(const GpoContainer& container, QString* error) const {
    // What the directory gave us goes back only as base64, so no value can end its line and
    // start a record of its own.
    if (!isOwnDn(container.dn, container.guid)) {
        *error = QStringLiteral("the directory gives GPO %1 the name \"%2\", which is not a GPO's own; "
                                "nothing was changed there")
                     .arg(container.guid, container.dn);
        return false;
    }
    const auto line = [](const QByteArray& name, const QString& value) -> QByteArray {
        return name + ":: " + value.toUtf8().toBase64() + "\n";
    };
    QByteArray ldif = line("dn", container.dn) + "changetype: modify\nreplace: versionNumber\n" +
                      line("versionNumber", QString::number(container.version)) + "-\n";
    const std::pair<QByteArray, QString> lists[] = {
        {"gPCUserExtensionNames", container.userExtensions},
        {"gPCMachineExtensionNames", container.machineExtensions}};
    for (const auto& [name, value] : lists) {
        if (value.isEmpty())
            continue;
        ldif += "replace: " + name + "\n" + line(name, value) + "-\n";
    }
    return runTool(QStringLiteral("ldbmodify"), {QStringLiteral("-H"), m_url}, ldif, nullptr, error);
}

} // namespace tavimor
