// SPDX-License-Identifier: GPL-3.0-or-later
#include "AdmxModel.h"

namespace tavimor {

std::optional<RegValue> AdmxValue::regValue() const {
    switch (kind) {
    case Kind::Decimal:
        return regDword(quint32(number));
    case Kind::LongDecimal:
        return regQword(number);
    case Kind::String:
        return regSz(text);
    case Kind::None:
    case Kind::Delete:
        break;
    }
    return std::nullopt;
}

QString AdmxValue::display() const {
    switch (kind) {
    case Kind::Decimal:
    case Kind::LongDecimal:
        return QString::number(number);
    case Kind::String:
        return QLatin1Char('"') + text + QLatin1Char('"');
    case Kind::Delete:
        return QStringLiteral("(delete)");
    case Kind::None:
        break;
    }
    return QString();
}

quint32 AdmxElement::registryType() const {
    switch (kind) {
    case ElementKind::Boolean:
        return REG_DWORD;
    case ElementKind::Decimal:
        return storeAsText ? REG_SZ : REG_DWORD;
    case ElementKind::LongDecimal:
        return storeAsText ? REG_SZ : REG_QWORD;
    case ElementKind::Enum:
        return items.isEmpty() ? REG_NONE : items.first().value.regValue().value_or(RegValue{}).type;
    case ElementKind::Text:
    case ElementKind::List:
        return expandable ? REG_EXPAND_SZ : REG_SZ;
    case ElementKind::MultiText:
        return REG_MULTI_SZ;
    }
    return REG_NONE;
}

qsizetype AdmxPolicy::elementIndex(const QString& id) const {
    for (qsizetype i = 0; i < elements.size(); ++i)
        if (elements[i].id == id)
            return i;
    return -1;
}

} // namespace tavimor
