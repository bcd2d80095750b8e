// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>
#include <variant>

namespace tavimor {

// A registry value as the registry layer hands it over: nothing (the key or the value is not there,
// or the value has a type the layer does not read), a text or a 32-bit integer; or unread, when the
// registry could not be asked (a tool failed, timed out or was cancelled, the target has no such
// hive). Unread is never "not there": whoever gets one shows it as unknown, with its reason, and
// neither plans nor writes anything from it.
class RegDatum {
public:
    RegDatum() = default;
    static RegDatum text(const QString& text) { return RegDatum(text); }
    static RegDatum integer(qint32 value) { return RegDatum(value); }
    // reason, in the system's words, should never be empty.
    static RegDatum unread(const QString& reason) { return RegDatum(Unread{reason}); }

    bool isNothing() const { return std::holds_alternative<std::monostate>(m_value); }
    bool isText() const { return std::holds_alternative<QString>(m_value); }
    bool isInteger() const { return std::holds_alternative<qint32>(m_value); }
    bool isUnread() const { return std::holds_alternative<Unread>(m_value); }
    // Why it could not be read; "" for every other state.
    QString unreadReason() const;

    // Nothing and unread are "", an integer its decimal digits.
    QString toText() const;
    // Nothing is 0; a text is parsed as a decimal number (nullopt when it is not one); unread is nullopt.
    std::optional<qint32> toInteger() const;

    bool operator==(const RegDatum&) const = default;

private:
    struct Unread {
        QString reason;
        bool operator==(const Unread&) const = default;
    };
    explicit RegDatum(const QString& text)
        : m_value(text) {}
    explicit RegDatum(qint32 value)
        : m_value(value) {}
    explicit RegDatum(Unread unread)
        : m_value(std::move(unread)) {}
    std::variant<std::monostate, QString, qint32, Unread> m_value;
};

// The program's text-to-number conversion: blanks around, an optional sign, decimal digits and
// an optional fraction rounded half to even; nullopt for anything else or outside 32 bits.
std::optional<qint32> toLong(QStringView text);

} // namespace tavimor
