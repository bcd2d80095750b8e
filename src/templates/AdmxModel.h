// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "registry/RegistryBackend.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// What an Administrative Template says, as read from its ADMX file (what a policy writes, where, of
// which type) and its ADML file (the texts and the controls of one language). Texts are kept as the
// template writes them ("$(string.ID)" references included); TemplateSet resolves them. Keys are
// relative to the hive the policy's class chooses; "" for an element's or item's key means the
// policy's own key.
namespace tavimor {

enum class PolicyClass : quint8 { Machine, User, Both };

// A registry value a template names: a number, a text, or the value's deletion.
struct AdmxValue {
    enum class Kind : quint8 { None, Delete, Decimal, LongDecimal, String };
    Kind kind = Kind::None;
    quint64 number = 0;
    QString text;

    bool isSet() const { return kind != Kind::None; }
    bool isDelete() const { return kind == Kind::Delete; }
    // REG_DWORD, REG_QWORD or REG_SZ; nullopt for a deletion or no value.
    std::optional<RegValue> regValue() const;
    // "1", "\"text\"", "(delete)" as messages and state texts show it.
    QString display() const;
    static AdmxValue decimal(quint64 number) { return {Kind::Decimal, number, {}}; }
    bool operator==(const AdmxValue&) const = default;
};

struct AdmxValueItem {
    QString key; // "" for the list's default key
    QString valueName;
    AdmxValue value;
};

// enabledList, disabledList, trueList, falseList and an enum item's valueList.
struct AdmxValueList {
    QString defaultKey; // "" for the owner's key
    QList<AdmxValueItem> items;
    bool isEmpty() const { return items.isEmpty(); }
};

struct AdmxEnumItem {
    QString displayName;
    AdmxValue value;
    AdmxValueList valueList;
};

enum class ElementKind : quint8 { Boolean, Decimal, LongDecimal, Enum, Text, MultiText, List };

// One parameter of a policy. The fields beyond the first few belong to the kinds named beside them.
struct AdmxElement {
    ElementKind kind = ElementKind::Text;
    QString id;
    QString key; // "" for the policy's key
    QString valueName;
    bool required = false; // decimal, longDecimal, enum, text, multiText
    int line = 0;
    // boolean: written as trueValue/falseValue (REG_DWORD 1/0 when not given) and their lists.
    AdmxValue trueValue;
    AdmxValue falseValue;
    AdmxValueList trueList;
    AdmxValueList falseList;
    // decimal, longDecimal
    quint64 minValue = 0;
    quint64 maxValue = 9999;
    bool storeAsText = false; // REG_SZ of the decimal digits
    bool soft = false;        // decimal, text: written only where no value is
    // enum
    QList<AdmxEnumItem> items;
    // text, multiText; expandable also for list
    int maxLength = 1023;
    int maxStrings = 0; // multiText; 0: no limit
    bool expandable = false;
    // list: its own key's values, named valuePrefix + 1, 2, ..., or after their data when there is
    // no prefix, or as the user names them (explicitValue). additive keeps the values there.
    std::optional<QString> valuePrefix;
    bool additive = false;
    bool explicitValue = false;

    // The registry type the element's value takes.
    quint32 registryType() const;
};

struct AdmxPolicy {
    QString name;
    PolicyClass policyClass = PolicyClass::Machine;
    QString displayName;
    QString explainText;
    QString presentation; // "$(presentation.ID)"
    QString key;
    QString valueName;       // "" when the policy has no value of its own
    QString parentCategory;  // a reference, "prefix:name" or "name"
    QString supportedOn;     // a reference
    AdmxValue enabledValue;  // REG_DWORD 1 when the policy has a value name and this is not set
    AdmxValue disabledValue; // a deletion of the value when not set
    AdmxValueList enabledList;
    AdmxValueList disabledList;
    QList<AdmxElement> elements;
    int line = 0;

    qsizetype elementIndex(const QString& id) const;
};

struct AdmxCategory {
    QString name;
    QString displayName;
    QString explainText;
    QString parentCategory;
    int line = 0;
};

struct AdmxSupportedOn {
    QString name;
    QString displayName;
};

struct AdmxFile {
    QString path;
    QString targetPrefix;
    QString targetNamespace;
    QHash<QString, QString> usings; // prefix -> namespace, the target's own prefix included
    QList<AdmxCategory> categories;
    QList<AdmxSupportedOn> supportedOn;
    QList<AdmxPolicy> policies;
};

// One control of a policy's presentation, in the order the ADML gives them.
struct PresentationControl {
    enum class Kind : quint8 {
        Text, // a label of its own, no element
        CheckBox,
        ComboBox,
        DecimalTextBox,
        LongDecimalTextBox,
        DropdownList,
        ListBox,
        MultiTextBox,
        TextBox,
    };
    Kind kind = Kind::Text;
    QString refId; // the element's id
    QString label;
    QString defaultValue; // comboBox, textBox, decimalTextBox, longDecimalTextBox
    bool defaultChecked = false;
    int defaultItem = -1; // dropdownList
    bool spin = true;
    quint64 spinStep = 1;
    QStringList suggestions; // comboBox
    bool noSort = false;
    int defaultHeight = 0; // multiTextBox
};

struct AdmlFile {
    QString path;
    QHash<QString, QString> strings;
    QHash<QString, QList<PresentationControl>> presentations;
};

} // namespace tavimor
