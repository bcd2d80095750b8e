// SPDX-License-Identifier: GPL-3.0-or-later
#include "GptIni.h"

#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <tuple>

namespace tavimor {

namespace {

constexpr auto kRegistryExtension = "{35378EAC-683F-11D2-A89A-0030487E63EF}";
constexpr auto kMachineTool = "{D02B1F72-3407-48AE-BA88-E8213C6761F1}";
constexpr auto kUserTool = "{D02B1F73-3407-48AE-BA88-E8213C6761F1}";

} // namespace

std::optional<GpoVersion> GpoVersion::raised(bool userChanged, bool machineChanged, QString* why) const {
    // A half that went back to 0 would look older than what clients have, and they would skip it.
    for (const auto& [changed, half, name] :
         {std::tuple(userChanged, user, "user"), std::tuple(machineChanged, machine, "machine")})
        if (changed && half == 0xFFFF) {
            if (why)
                *why = QStringLiteral("its %1 version is 65535, the highest there is; make a new GPO")
                           .arg(QLatin1String(name));
            return std::nullopt;
        }
    return GpoVersion{quint16(user + (userChanged ? 1 : 0)), quint16(machine + (machineChanged ? 1 : 0))};
}

GpoVersion GpoVersion::atLeast(const GpoVersion& other) const {
    return {std::max(user, other.user), std::max(machine, other.machine)};
}

std::optional<GptIni> GptIni::parse(const QByteArray& bytes, QString* error) {
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF") || bytes.contains('\0')) {
        if (error)
            *error = QStringLiteral("it is not an 8-bit text file");
        return std::nullopt;
    }
    GptIni ini;
    ini.m_bytes = bytes;
    static const QRegularExpression versionLine(
        QStringLiteral("(?:^|\\n)[ \\t]*Version[ \\t]*=[ \\t]*([^\\r\\n]*?)[ \\t]*(?:\\r?\\n|$)"),
        QRegularExpression::CaseInsensitiveOption);
    const QString text = QString::fromLatin1(bytes);
    const QRegularExpressionMatch match = versionLine.match(text);
    if (match.hasMatch()) {
        ini.m_valueStart = match.capturedStart(1);
        ini.m_valueEnd = match.capturedEnd(1);
        static const QRegularExpression digits(QStringLiteral("^[0-9]{1,10}$"));
        const QString value = match.captured(1);
        if (!digits.match(value).hasMatch() || value.toULongLong() > 0xFFFFFFFFULL) {
            if (error)
                *error = QStringLiteral("its Version \"%1\" is no number from 0 to 4294967295").arg(value);
            return std::nullopt;
        }
        ini.m_version = quint32(value.toULongLong());
    }
    static const QRegularExpression nameLine(
        QStringLiteral("(?:^|\\n)[ \\t]*displayName[ \\t]*=([^\\r\\n]*)"),
        QRegularExpression::CaseInsensitiveOption);
    ini.m_displayName = nameLine.match(text).captured(1).trimmed();
    return ini;
}

QByteArray GptIni::withVersion(quint32 version) const {
    const QByteArray digits = QByteArray::number(version);
    if (m_valueStart >= 0)
        return m_bytes.left(m_valueStart) + digits + m_bytes.mid(m_valueEnd);
    const qsizetype general = m_bytes.toLower().indexOf("[general]");
    if (general < 0) {
        QByteArray text = m_bytes;
        if (!text.isEmpty() && !text.endsWith('\n'))
            text += "\r\n";
        return text + "[General]\r\nVersion=" + digits + "\r\n";
    }
    const qsizetype lineEnd = m_bytes.indexOf('\n', general);
    if (lineEnd < 0)
        return m_bytes + "\r\nVersion=" + digits + "\r\n";
    return m_bytes.left(lineEnd + 1) + "Version=" + digits + "\r\n" + m_bytes.mid(lineEnd + 1);
}

QString withRegistryExtension(const QString& names, bool machine) {
    const QString extension = QLatin1String(kRegistryExtension);
    const QString tool = QLatin1String(machine ? kMachineTool : kUserTool);
    QStringList groups;
    for (const QString& group : names.split(QLatin1Char(']'), Qt::SkipEmptyParts)) {
        const QString inner = group.trimmed().remove(QLatin1Char('['));
        if (!inner.isEmpty())
            groups.append(inner);
    }
    auto registry = std::find_if(groups.begin(), groups.end(), [&](const QString& group) {
        return group.startsWith(extension, Qt::CaseInsensitive);
    });
    if (registry == groups.end()) {
        groups.append(extension + tool);
    } else if (!registry->contains(tool, Qt::CaseInsensitive)) {
        *registry += tool;
    }
    std::sort(groups.begin(), groups.end(), [](const QString& a, const QString& b) {
        return a.left(38).compare(b.left(38), Qt::CaseInsensitive) < 0;
    });
    QString out;
    for (const QString& group : std::as_const(groups))
        out += QLatin1Char('[') + group + QLatin1Char(']');
    return out;
}

} // namespace tavimor
