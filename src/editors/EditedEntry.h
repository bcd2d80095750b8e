// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "registry/RegistryBackend.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

namespace tavimor {

class ProgramContext;
class XmlDocument;

// The one catalogue entry the edit setting dialog works on, read from the working catalogue,
// and the values its controls stand for. Holds no widgets, so the rules can be tested alone.
class EditedEntry {
    Q_DECLARE_TR_FUNCTIONS(EditedEntry)

public:
    enum class Kind { Missing, Boolean, Number, String, Unknown };
    enum class Choice { Enable, Disable, Neither };

    static EditedEntry load(const XmlDocument& working, const QString& address);

    Kind kind() const { return m_kind; }
    QString address() const { return m_address; }
    QString section() const { return m_section; }
    QString name() const { return m_name; }
    QString description() const { return m_description; }
    QString datatype() const { return m_datatype; }
    QString currentValue() const { return m_currentValue; }
    HKEY hive() const { return m_hive; }

    // The option a Boolean entry opens with; Neither when its value is not a whole number.
    Choice initialChoice() const;
    // The text a Number or String entry opens with.
    QString initialText() const;
    // programFolder + IMAGE with the separators made the platform's; "" without an IMAGE.
    QString imagePath(const QString& programFolder) const;

    bool canApplyLater() const;
    bool canApplyNow() const;
    // Why the entry cannot be edited or applied as the catalogue has it; "" when it can.
    QString problem() const;

    static QString booleanValue(Choice choice) {
        return choice == Choice::Disable ? QStringLiteral("1") : QStringLiteral("0");
    }
    // "&Apply now" writes 0 for an empty box, "Apply &later" keeps it empty.
    static QString numberValue(const QString& text, bool applyNow) {
        return applyNow && text.isEmpty() ? QStringLiteral("0") : text;
    }

    // Why newValue cannot be written now; "" when it can. Every value is written as REG_DWORD,
    // so a String entry's text must be a whole number.
    QString applyNowProblem(const QString& newValue) const;
    bool applyNow(ProgramContext& context, const QString& newValue) const;
    bool applyLater(ProgramContext& context, const QString& newValue) const;

private:
    Kind m_kind = Kind::Missing;
    QString m_address;
    QString m_section;
    QString m_name;
    QString m_keyText;
    QString m_path;
    QString m_regName;
    QString m_image;
    QString m_datatype;
    QString m_currentValue;
    QString m_description;
    HKEY m_hive = 0;
    bool m_hasCurrentValue = false;
    QStringList m_missing;
};

} // namespace tavimor
