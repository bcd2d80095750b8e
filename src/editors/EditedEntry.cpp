// SPDX-License-Identifier: GPL-3.0-or-later
#include "EditedEntry.h"

#include "catalogue/CatalogueEntry.h"
#include "catalogue/EntryEdit.h"
#include "catalogue/ProgramContext.h"
#include "registry/MSDNRegistry.h"

#include <QDir>

namespace tavimor {

EditedEntry EditedEntry::load(const XmlDocument& working, const QString& address) {
    EditedEntry edited;
    edited.m_address = address;
    const CatalogueEntry entry(working.selectSingleNode(address));
    if (entry.isNull())
        return edited;
    edited.m_section = entry.node().parentNode().firstAttribute().value_or(QString());
    static const char* const kChildren[] = {"NAME",  "KEY",    "PATH",       "REGNAME",
                                            "IMAGE", "VALUES", "DESCRIPTION"};
    for (const char* child : kChildren) {
        if (entry.child(child).isNull())
            edited.m_missing.append(QLatin1String(child));
    }
    edited.m_hasCurrentValue = !entry.currentValue().isNull();
    if (!edited.m_hasCurrentValue && !edited.m_missing.contains(QLatin1String("VALUES")))
        edited.m_missing.append(QStringLiteral("VALUES/CURRENTVALUE"));
    edited.m_name = entry.text("NAME");
    edited.m_keyText = entry.text("KEY");
    edited.m_hive = GetKeyValue(edited.m_keyText);
    edited.m_path = entry.text("PATH");
    edited.m_regName = entry.text("REGNAME");
    edited.m_image = entry.text("IMAGE");
    edited.m_datatype = entry.datatype();
    edited.m_currentValue = entry.currentValue().text();
    edited.m_description = entry.text("DESCRIPTION");
    if (edited.m_datatype == QLatin1String("BOOLEAN"))
        edited.m_kind = Kind::Boolean;
    else if (edited.m_datatype == QLatin1String("NUMBER"))
        edited.m_kind = Kind::Number;
    else if (edited.m_datatype == QLatin1String("STRING"))
        edited.m_kind = Kind::String;
    else
        edited.m_kind = Kind::Unknown;
    return edited;
}

EditedEntry::Choice EditedEntry::initialChoice() const {
    if (m_currentValue.isEmpty())
        return Choice::Enable;
    const std::optional<qint32> number = toLong(m_currentValue);
    if (!number)
        return Choice::Neither;
    return *number == 0 ? Choice::Enable : Choice::Disable;
}

QString EditedEntry::initialText() const {
    if (m_kind == Kind::Number && m_currentValue.compare(QLatin1String("NULL"), Qt::CaseInsensitive) == 0)
        return QString();
    return m_currentValue;
}

QString EditedEntry::imagePath(const QString& programFolder) const {
    QString image = m_image.trimmed();
    image.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (image.isEmpty() || image == QLatin1String("/"))
        return QString();
    return QDir::cleanPath(programFolder + QLatin1Char('/') + image);
}

bool EditedEntry::canApplyLater() const {
    return m_hasCurrentValue && (m_kind == Kind::Boolean || m_kind == Kind::Number || m_kind == Kind::String);
}

bool EditedEntry::canApplyNow() const {
    return canApplyLater() && m_hive != 0 && !m_path.isEmpty() && !m_regName.isEmpty();
}

QString EditedEntry::problem() const {
    const QString shown = m_name.isEmpty() ? m_address : m_name;
    if (m_kind == Kind::Missing)
        return tr("The catalogue holds no entry at %1.").arg(m_address);
    if (m_kind == Kind::Unknown) {
        return tr("The entry \"%1\" has the data type \"%2\", which this dialog cannot edit.")
            .arg(shown, m_datatype);
    }
    if (!m_missing.isEmpty()) {
        const QString what =
            canApplyLater() ? tr("it cannot be applied to the registry now") : tr("it cannot be changed");
        return tr("The entry \"%1\" lacks %2 in the catalogue, so %3.")
            .arg(shown, m_missing.join(QStringLiteral(", ")), what);
    }
    if (m_hive == 0) {
        return tr("The entry \"%1\" names the unknown hive \"%2\", so it cannot be applied to the "
                  "registry now.")
            .arg(shown, m_keyText);
    }
    return QString();
}

QString EditedEntry::applyNowProblem(const QString& newValue) const {
    if (m_kind != Kind::String || RegDatum::text(newValue).toInteger())
        return QString();
    return tr("\"%1\" is not a whole number. Tavimor writes every registry value as a 32-bit "
              "number (REG_DWORD), so this text can only be kept with Apply later.")
        .arg(newValue);
}

bool EditedEntry::applyNow(ProgramContext& context, const QString& newValue) const {
    return canApplyNow() && applyNowProblem(newValue).isEmpty() &&
           applyEntryNow(context, m_address, newValue);
}

bool EditedEntry::applyLater(ProgramContext& context, const QString& newValue) const {
    return canApplyLater() && applyEntryLater(context, m_address, newValue);
}

} // namespace tavimor
