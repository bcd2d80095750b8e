// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace tavimor {

// The version of a GPO as GPT.INI and the directory's versionNumber hold it: the user half in the
// high 16 bits, the machine half in the low 16 bits, each raised when its files change.
struct GpoVersion {
    quint16 user = 0;
    quint16 machine = 0;

    static GpoVersion fromNumber(quint32 number) { return {quint16(number >> 16), quint16(number & 0xFFFF)}; }
    quint32 number() const { return (quint32(user) << 16) | machine; }
    // This version with each changed half one higher; nullopt, *why saying which, when a changed
    // half is at 65535 already.
    std::optional<GpoVersion> raised(bool userChanged, bool machineChanged, QString* why = nullptr) const;
    // Each half the higher of the two, so that a version never goes back.
    GpoVersion atLeast(const GpoVersion& other) const;
};

// GPT.INI of a GPO folder, kept byte for byte except its Version line.
class GptIni {
public:
    // nullopt with *error when the text is not an 8-bit INI file or its Version is no 32-bit number;
    // the error is about "it", for the caller to name the file.
    static std::optional<GptIni> parse(const QByteArray& bytes, QString* error);
    quint32 version() const { return m_version; }
    // The name Windows' tools write beside the version; "" when there is none.
    const QString& displayName() const { return m_displayName; }
    // The text with Version= set, added under [General] where there is none.
    QByteArray withVersion(quint32 version) const;

private:
    QByteArray m_bytes;
    qsizetype m_valueStart = -1; // the digits of the Version line, when there is one
    qsizetype m_valueEnd = -1;
    quint32 m_version = 0;
    QString m_displayName;
};

// gPCUserExtensionNames / gPCMachineExtensionNames with the registry extension and its tool
// listed: "[{CSE}{TOOL}]" groups in the order of their first GUID.
QString withRegistryExtension(const QString& names, bool machine);

} // namespace tavimor
