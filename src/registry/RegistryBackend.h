// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace tavimor {

using HKEY = quint32;

inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
inline constexpr HKEY HKEY_USERS = 0x80000003u;

// Every open and create of the program asks for exactly this access.
inline constexpr quint32 KEY_TAVIMOR_ACCESS = 0x3F;

inline constexpr quint32 REG_NONE = 0;
inline constexpr quint32 REG_SZ = 1;
inline constexpr quint32 REG_EXPAND_SZ = 2;
inline constexpr quint32 REG_BINARY = 3;
inline constexpr quint32 REG_DWORD = 4;
inline constexpr quint32 REG_MULTI_SZ = 7;
inline constexpr quint32 REG_QWORD = 11;

// Status codes as the platform gives them.
inline constexpr long ERROR_SUCCESS = 0;
inline constexpr long ERROR_FILE_NOT_FOUND = 2;
inline constexpr long ERROR_ACCESS_DENIED = 5;
inline constexpr long ERROR_INVALID_HANDLE = 6;
inline constexpr long ERROR_NOT_SUPPORTED = 50;
inline constexpr long ERROR_INVALID_PARAMETER = 87;
inline constexpr long ERROR_BAD_PATHNAME = 161;
inline constexpr long ERROR_MORE_DATA = 234;
inline constexpr long ERROR_BADDB = 1009;
inline constexpr long ERROR_CANTREAD = 1012;
inline constexpr long ERROR_CANTWRITE = 1013;
// Not the platform's: the target has no file for the hive a key lies in (an offline Windows given
// without its SOFTWARE hive). Codes of an application's own carry bit 29, which Windows leaves to them.
inline constexpr long ERROR_HIVE_MISSING = 0x20000001;

// The statuses that say a key or a value is not there. Any other failure of a read means that it
// could not be read, which is never taken for "not there".
inline bool isNotThere(long status) {
    return status == ERROR_FILE_NOT_FOUND || status == ERROR_BAD_PATHNAME;
}

inline constexpr quint32 REG_CREATED_NEW_KEY = 1;
inline constexpr quint32 REG_OPENED_EXISTING_KEY = 2;

struct WindowsVersion {
    quint32 platformId = 0; // 1: Windows 95/98/Me, 2: the NT family
    quint32 major = 0;
    quint32 minor = 0;
    quint32 build = 0;
    QString name; // e.g. "Windows 98"
};

struct RegValue {
    quint32 type = REG_NONE;
    QByteArray data;
    bool operator==(const RegValue&) const = default;
};

// A REG_SZ of Latin-1 text with its terminating zero, and a REG_DWORD, as Windows stores them.
RegValue regSz(const QString& text);
RegValue regDword(quint32 value);
// The other types a policy template writes, in the same 8-bit form: REG_EXPAND_SZ as REG_SZ,
// REG_MULTI_SZ as each string with its zero and one more zero, REG_QWORD as 8 bytes little-endian.
RegValue regExpandSz(const QString& text);
RegValue regMultiSz(const QStringList& strings);
RegValue regQword(quint64 value);
// REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ: the types whose data is text.
bool isTextType(quint32 type);
// Whether a text value in the registry's own UTF-16 holds a character beyond Latin-1, the 8-bit form
// this layer carries text in. Such a value is not read: it would be shown, and written back, as '?'.
bool textBeyondLatin1(const RegValue& utf16);
// Why such a value was not read; place says where it is.
QString textBeyondLatin1Reason(const QString& place);

// A key as the registry layer names it: a hive handle and a path below it.
struct RegKeyName {
    HKEY hive = 0;
    QString subKey;
};

// One change of a batch. Setting a value makes its key (and the key's parents) where missing,
// as createKey does; deleting one opens the key only. DeleteValues deletes every value of the key
// (its sub-keys stay); a key that is not there counts as done.
struct RegChange {
    enum class Kind : quint8 { CreateKey, SetValue, DeleteValue, DeleteValues };
    // What a Group Policy file records besides the change: a registry makes the change alone.
    // Stated: a deletion the policy asks of every client ("**del.NAME", "**delvals."), kept as a
    // record; unmarked, a deletion only drops what the file said (the policy is not configured).
    // Soft: "**soft.NAME", a value clients write only where it is missing; a registry then
    // writes it only where it is missing too.
    enum class Mark : quint8 { None, Stated, Soft };
    Kind kind = Kind::SetValue;
    HKEY hive = 0;
    QString subKey;
    QString name;
    RegValue value; // for SetValue, as setValue takes it
    Mark mark = Mark::None;
    bool operator==(const RegChange&) const = default;
};

// What a Group Policy file of the target says of a value. Windows applies the file again at every
// policy refresh, whatever the registry holds then.
struct PolicyFileSetting {
    QString file;                  // the file that speaks of the value
    std::optional<RegValue> value; // what it sets; nullopt when it deletes the value
    QString unreadable;            // why the file could not be read: then it may say anything
};

// A Windows registry as the program's registry layer needs it: keys opened by handle,
// typed values as raw bytes, and three facts of the machine behind it.
class RegistryBackend {
public:
    virtual ~RegistryBackend() = default;

    virtual long openKey(HKEY key, const QString& subKey, quint32 access, HKEY* result) = 0;
    virtual long createKey(HKEY key, const QString& subKey, quint32 access, HKEY* result,
                           quint32* disposition) = 0;
    // With data null, only the type and size are asked for. Otherwise *size is the buffer
    // size on the way in; a value that does not fit gives ERROR_MORE_DATA.
    virtual long queryValue(HKEY key, const QString& name, quint32* type, QByteArray* data,
                            quint32* size) = 0;
    virtual long setValue(HKEY key, const QString& name, quint32 type, const QByteArray& data) = 0;
    // ERROR_FILE_NOT_FOUND when the key or the value is not there.
    virtual long deleteValue(HKEY key, const QString& name) = 0;
    // The names of the key's values ("" for the default value); ERROR_NOT_SUPPORTED from a target
    // that cannot list them.
    virtual long valueNames(HKEY key, QStringList* names) {
        Q_UNUSED(key);
        Q_UNUSED(names);
        return ERROR_NOT_SUPPORTED;
    }
    virtual long closeKey(HKEY key) = 0;

    // Makes the changes in order; ERROR_SUCCESS when each is made. Otherwise the failing status,
    // *failed the index of the first change not made: those before it are made, those after it
    // not. A value to delete that is not there (or whose key is not) counts as deleted. This one
    // makes them one call at a time; a target where each call is dear overrides it.
    virtual long applyChanges(const QList<RegChange>& changes, qsizetype* failed);
    // Told which keys the reads that follow will ask about, so that a target where each question is
    // dear can fetch them together. Reads give the same answers without it.
    virtual void prepareReads(const QList<RegKeyName>& keys) { Q_UNUSED(keys) }

    // The computer name, or nothing when it cannot be had.
    virtual std::optional<QString> computerName() = 0;
    virtual WindowsVersion windowsVersion() = 0;
    // Asks the target's Windows to restart; false when it refused.
    virtual bool requestRestart() = 0;
    // False for a target with no Windows of its own to restart (the embedded file).
    virtual bool canRestart() const { return true; }
    // Why this registry takes no writes at all; "" when it does.
    virtual QString writeRefusal() const { return QString(); }
    // Names the target in messages, e.g. "file:/home/ann/.local/share/tavimor/registry.reg".
    virtual QString targetName() const = 0;
    // What a user should know of the last write besides that it holds, e.g. that it is not on disk
    // yet; "" when there is nothing to say.
    virtual QString writtenNote() const { return QString(); }
    // Why the last failing operation failed, in the system's words; "" when the target keeps no reason.
    virtual QString lastError() const { return QString(); }
    // Whether the target keeps a stated deletion (RegChange::Mark::Stated) as a record of its own, read
    // back under its own name ("**del.NAME", "**delvals."), as a Group Policy file does.
    virtual bool keepsStatedDeletions() const { return false; }
    // What a policy file of the target (an offline Windows' own Group Policy) says of a value besides
    // the registry; nullopt when no file speaks of it.
    virtual std::optional<PolicyFileSetting> policyFileSetting(HKEY /*hive*/, const QString& /*subKey*/,
                                                               const QString& /*name*/) {
        return std::nullopt;
    }
};

} // namespace tavimor
