// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>
#include <variant>

namespace tavimor {

// A registry value as the registry layer hands it over: nothing, a text or a 32-bit integer.
class RegDatum {
public:
    RegDatum() = default;
    static RegDatum text(const QString& text) { return RegDatum(text); }
    static RegDatum integer(qint32 value) { return RegDatum(value); }

    bool isNothing() const { return std::holds_alternative<std::monostate>(m_value); }
    bool isText() const { return std::holds_alternative<QString>(m_value); }
    bool isInteger() const { return std::holds_alternative<qint32>(m_value); }

    // Nothing is "", an integer its decimal digits.
    QString toText() const;
    // Nothing is 0; a text is parsed as a decimal number (nullopt when it is not one).
    std::optional<qint32> toInteger() const;

    bool operator==(const RegDatum&) const = default;

private:
    explicit RegDatum(const QString& text)
        : m_value(text) {}
    explicit RegDatum(qint32 value)
        : m_value(value) {}
    std::variant<std::monostate, QString, qint32> m_value;
};

// The program's text-to-number conversion: blanks around, an optional sign, decimal digits and
// an optional fraction rounded half to even; nullopt for anything else or outside 32 bits.
std::optional<qint32> toLong(QStringView text);

} // namespace tavimor
