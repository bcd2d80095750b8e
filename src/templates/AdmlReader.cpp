// SPDX-License-Identifier: GPL-3.0-or-later
#include "AdmlReader.h"

#include "TemplateXml.h"

#include <algorithm>

namespace tavimor {

namespace {

constexpr quint32 npos = TemplateXml::npos;
using Kind = PresentationControl::Kind;

struct ControlName {
    QByteArrayView name;
    Kind kind;
};
constexpr ControlName kControls[] = {
    {"text", Kind::Text},
    {"checkBox", Kind::CheckBox},
    {"comboBox", Kind::ComboBox},
    {"decimalTextBox", Kind::DecimalTextBox},
    {"longDecimalTextBox", Kind::LongDecimalTextBox},
    {"dropdownList", Kind::DropdownList},
    {"listBox", Kind::ListBox},
    {"multiTextBox", Kind::MultiTextBox},
    {"textBox", Kind::TextBox},
};

bool isTrue(const std::optional<QString>& text, bool fallback) {
    if (!text)
        return fallback;
    return *text == QLatin1String("true") || *text == QLatin1String("1");
}

// Presentations only describe; an odd number there shows as the default rather than refusing the file.
quint64 numberOr(const std::optional<QString>& text, quint64 fallback) {
    bool ok = false;
    const quint64 value = text ? text->trimmed().toULongLong(&ok) : 0;
    return ok ? value : fallback;
}

PresentationControl control(const TemplateXml& xml, quint32 node, Kind kind) {
    PresentationControl c;
    c.kind = kind;
    c.refId = xml.attributeOr(node, "refId");
    c.noSort = isTrue(xml.attribute(node, "noSort"), false);
    switch (kind) {
    case Kind::ComboBox:
    case Kind::TextBox:
        for (quint32 part = xml.firstChild(node); part != npos; part = xml.next(part)) {
            if (xml.is(part, "label"))
                c.label = xml.text(part);
            else if (xml.is(part, "default") || xml.is(part, "defaultValue"))
                c.defaultValue = xml.text(part);
            else if (xml.is(part, "suggestion") && c.suggestions.size() < kMaxPolicyElements)
                c.suggestions.append(xml.text(part));
        }
        if (kind == Kind::ComboBox && c.defaultValue.isEmpty())
            c.defaultValue = xml.attributeOr(node, "defaultValue");
        return c;
    case Kind::DecimalTextBox:
    case Kind::LongDecimalTextBox:
        c.defaultValue = xml.attributeOr(node, "defaultValue", QStringLiteral("1"));
        c.spin = isTrue(xml.attribute(node, "spin"), true);
        c.spinStep = numberOr(xml.attribute(node, "spinStep"), 1);
        break;
    case Kind::CheckBox:
        c.defaultChecked = isTrue(xml.attribute(node, "defaultChecked"), false);
        break;
    case Kind::DropdownList:
        if (const std::optional<QString> item = xml.attribute(node, "defaultItem")) {
            bool ok = false;
            const int index = item->trimmed().toInt(&ok);
            c.defaultItem = ok && index >= 0 ? index : -1;
        }
        break;
    case Kind::MultiTextBox:
        c.defaultHeight = int(std::min<quint64>(numberOr(xml.attribute(node, "defaultHeight"), 3), 1000));
        break;
    case Kind::Text:
    case Kind::ListBox:
        break;
    }
    c.label = xml.text(node);
    return c;
}

} // namespace

std::optional<AdmlFile> AdmlReader::read(const QByteArray& bytes, const QString& path, QString* error) {
    TemplateXml xml;
    if (!xml.parse(bytes, error))
        return std::nullopt;
    const quint32 root = xml.root();
    const auto fail = [&](quint32 node, const QString& reason) -> std::optional<AdmlFile> {
        if (error)
            *error = atLine(xml.line(node), reason);
        return std::nullopt;
    };
    if (!xml.is(root, "policyDefinitionResources"))
        return fail(root, QStringLiteral("the root element is <%1>, not <policyDefinitionResources>")
                              .arg(QString::fromUtf8(xml.name(root))));
    AdmlFile file;
    file.path = path;
    const quint32 resources = xml.child(root, "resources");
    if (resources == npos)
        return file;
    if (const quint32 table = xml.child(resources, "stringTable"); table != npos) {
        for (quint32 s = xml.firstChild(table); s != npos; s = xml.next(s)) {
            if (!xml.is(s, "string"))
                continue;
            if (file.strings.size() >= kMaxTemplateItems)
                return fail(
                    s,
                    QStringLiteral("more than %1 strings; no template needs so many").arg(kMaxTemplateItems));
            file.strings.insert(xml.attributeOr(s, "id"), xml.text(s));
        }
    }
    if (const quint32 table = xml.child(resources, "presentationTable"); table != npos) {
        for (quint32 p = xml.firstChild(table); p != npos; p = xml.next(p)) {
            if (!xml.is(p, "presentation"))
                continue;
            if (file.presentations.size() >= kMaxTemplateItems)
                return fail(p, QStringLiteral("more than %1 presentations; no template needs so many")
                                   .arg(kMaxTemplateItems));
            QList<PresentationControl>& controls = file.presentations[xml.attributeOr(p, "id")];
            for (quint32 c = xml.firstChild(p); c != npos && controls.size() < kMaxPolicyElements;
                 c = xml.next(c))
                for (const ControlName& known : kControls)
                    if (xml.is(c, known.name))
                        controls.append(control(xml, c, known.kind));
        }
    }
    return file;
}

} // namespace tavimor
