// SPDX-License-Identifier: GPL-3.0-or-later
#include "TemplateFixtures.h"
#include "registry/MemoryBackend.h"
#include "templates/PolicyReader.h"
#include "templates/PolicyWriter.h"

#include <QSet>
#include <QtEndian>

using namespace tavimor;
using namespace tavimor::test;

void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
void PrintTo(const QStringList& list, std::ostream* out) {
    *out << list.join(u"\n   "_s).prepend(u"\n   "_s).toStdString();
}

namespace {

// Every kind of policy value and element, with the attributes that change what is written.
const QByteArray kKinds = admxText(R"xml(
<policy name="Plain" class="Machine" key="Software\Policies\Test" valueName="Plain"/>
<policy name="Forms" class="User" key="Software\Policies\Test" valueName="Mode">
  <enabledValue><string>on</string></enabledValue>
  <disabledValue><string>off</string></disabledValue>
  <enabledList defaultKey="Software\Policies\Test\Extra">
    <item valueName="A"><value><decimal value="1"/></value></item>
    <item key="Software\Policies\Test\Other" valueName="B"><value><longDecimal value="5000000000"/></value></item>
  </enabledList>
  <disabledList defaultKey="Software\Policies\Test\Extra">
    <item valueName="C"><value><decimal value="0"/></value></item>
  </disabledList>
</policy>
<policy name="Every" class="Both" key="Software\Policies\Test\Every" presentation="$(presentation.Every)">
  <elements>
    <boolean id="Flag" valueName="Flag"><trueValue><string>yes</string></trueValue><falseValue><delete/></falseValue></boolean>
    <boolean id="Listed">
      <trueList><item valueName="T"><value><decimal value="1"/></value></item></trueList>
      <falseList><item valueName="T"><value><decimal value="2"/></value></item></falseList>
    </boolean>
    <decimal id="Count" valueName="Count" minValue="2" maxValue="10" required="true"/>
    <decimal id="AsText" valueName="AsText" storeAsText="true" soft="true"/>
    <longDecimal id="Big" valueName="Big" maxValue="18446744073709551615"/>
    <enum id="Choice" valueName="Choice">
      <item displayName="$(string.One)"><value><string>one</string></value>
        <valueList><item valueName="ChoiceExtra"><value><decimal value="1"/></value></item></valueList></item>
      <item displayName="$(string.Two)"><value><decimal value="2"/></value></item>
    </enum>
    <text id="Name" valueName="Name" maxLength="8" required="true"/>
    <text id="Path" valueName="Path" expandable="true"/>
    <multiText id="Lines" valueName="Lines" maxStrings="3"/>
    <list id="Numbered" key="Software\Policies\Test\Every\Numbered" valuePrefix=""/>
    <list id="Prefixed" key="Software\Policies\Test\Every\Prefixed" valuePrefix="Item" additive="true"/>
    <list id="Named" key="Software\Policies\Test\Every\Named" explicitValue="true" expandable="true"/>
    <list id="Self" key="Software\Policies\Test\Every\Self"/>
  </elements>
</policy>
)xml");

const QByteArray kKindsAdml = R"xml(<policyDefinitionResources><resources>
  <stringTable><string id="One">First choice</string><string id="Two">Second choice</string></stringTable>
  <presentationTable><presentation id="Every">
    <checkBox refId="Flag" defaultChecked="true">Flag</checkBox>
    <decimalTextBox refId="Count" defaultValue="4">Count</decimalTextBox>
    <dropdownList refId="Choice" defaultItem="1">Choice</dropdownList>
  </presentation></presentationTable>
</resources></policyDefinitionResources>)xml";

QString changeText(const RegChange& change) {
    const QString hive = change.hive == HKEY_CURRENT_USER ? u"HKCU"_s : u"HKLM"_s;
    const QString place = hive + u'\\' + change.subKey;
    const QString mark = change.mark == RegChange::Mark::Stated ? u" (stated)"_s
                         : change.mark == RegChange::Mark::Soft ? u" (soft)"_s
                                                                : QString();
    switch (change.kind) {
    case RegChange::Kind::SetValue:
        return u"set %1\\%2 = %3%4"_s.arg(
            place, change.name,
            QString::number(change.value.type) + u':' + PolicyReader::valueText(change.value), mark);
    case RegChange::Kind::DeleteValue:
        return u"del %1\\%2%3"_s.arg(place, change.name, mark);
    case RegChange::Kind::DeleteValues:
        return u"delvals %1%2"_s.arg(place, mark);
    case RegChange::Kind::CreateKey:
        break;
    }
    return u"key "_s + place;
}

class PolicyState_ : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder.write(u"kinds.admx"_s, kKinds);
        m_folder.write(u"en-US/kinds.adml"_s, kKindsAdml);
        m_set = m_folder.load();
        ASSERT_TRUE(m_set.problems().isEmpty());
    }
    const PolicyInstance& policy(const QString& name) {
        const QList<const PolicyInstance*> found = m_set.findByName(name);
        EXPECT_EQ(found.size(), 1) << name.toStdString();
        return *found.value(0, &m_set.policies().first());
    }
    PolicySetting setting(const PolicyInstance& p, PolicyState state, const QStringList& assignments,
                          const PolicySetting& current = {}) {
        QString why;
        const std::optional<PolicySetting> made =
            PolicyValues::fromArguments(m_set, p, state, assignments, current, &why);
        EXPECT_TRUE(made) << why.toStdString();
        return made.value_or(PolicySetting{});
    }
    QStringList write(const PolicyInstance& p, const PolicySetting& s) {
        const QList<RegChange> changes = PolicyWriter::changes(p, s);
        EXPECT_EQ(m_registry.applyChanges(changes, nullptr), ERROR_SUCCESS);
        QStringList lines;
        for (const RegChange& change : changes)
            lines.append(changeText(change));
        return lines;
    }
    PolicyReading read(const PolicyInstance& p) {
        BackendPolicyView view(m_registry);
        return PolicyReader::read(view, p);
    }

    TemplateFolder m_folder;
    TemplateSet m_set;
    MemoryBackend m_registry;
};

TEST_F(PolicyState_, EachStateWritesWhatTheTemplateSaysAndReadsBack) {
    const PolicyInstance& every = policy(u"user/test:Every"_s);
    const PolicySetting enabled =
        setting(every, PolicyState::Enabled,
                {u"Name=ann"_s, u"Path=%HOME%\\x"_s, u"Big=18446744073709551615"_s, u"AsText=7"_s,
                 u"Choice=one"_s, u"Lines=a\nb"_s, u"Numbered=x, y"_s, u"Prefixed+=p"_s, u"Prefixed+=q"_s,
                 u"Named=n1=v1,n2=v2"_s, u"Self=s"_s, u"Listed=true"_s});
    const QString key = u"HKCU\\Software\\Policies\\Test\\Every"_s;
    EXPECT_EQ(write(every, enabled), (QStringList{
                                         u"delvals %1\\Numbered (stated)"_s.arg(key),
                                         u"delvals %1\\Named (stated)"_s.arg(key),
                                         u"delvals %1\\Self (stated)"_s.arg(key),
                                         u"set %1\\Flag = 1:\"yes\""_s.arg(key), // the presentation's default
                                         u"set %1\\T = 4:1"_s.arg(key),
                                         u"set %1\\Count = 4:4"_s.arg(key),
                                         u"set %1\\AsText = 1:\"7\" (soft)"_s.arg(key),
                                         u"set %1\\Big = 11:18446744073709551615"_s.arg(key),
                                         u"set %1\\Choice = 1:\"one\""_s.arg(key),
                                         u"set %1\\ChoiceExtra = 4:1"_s.arg(key),
                                         u"set %1\\Name = 1:\"ann\""_s.arg(key),
                                         u"set %1\\Path = 2:\"%HOME%\\x\""_s.arg(key),
                                         u"set %1\\Lines = 7:[\"a\", \"b\"]"_s.arg(key),
                                         u"set %1\\Numbered\\1 = 1:\"x\""_s.arg(key),
                                         u"set %1\\Numbered\\2 = 1:\"y\""_s.arg(key),
                                         u"set %1\\Prefixed\\Item1 = 1:\"p\""_s.arg(key),
                                         u"set %1\\Prefixed\\Item2 = 1:\"q\""_s.arg(key),
                                         u"set %1\\Named\\n1 = 2:\"v1\""_s.arg(key),
                                         u"set %1\\Named\\n2 = 2:\"v2\""_s.arg(key),
                                         u"set %1\\Self\\s = 1:\"s\""_s.arg(key),
                                     }));
    EXPECT_EQ(read(every).setting, enabled);
    EXPECT_EQ(read(policy(u"machine/test:Every"_s)).setting.state, PolicyState::NotConfigured);
    // The bytes, as a peer reads them.
    EXPECT_EQ(m_registry.value(key.mid(5).prepend(u"HKEY_CURRENT_USER\\"_s), u"Lines"_s)->data,
              QByteArray("a\0b\0\0", 5));

    // Enabled again with the flag off: the deletion that stands for false, the other values kept.
    const PolicySetting changed =
        setting(every, PolicyState::Enabled, {u"Flag=off"_s, u"Listed=0"_s}, enabled);
    EXPECT_TRUE(write(every, changed).contains(u"del %1\\Flag (stated)"_s.arg(key)));
    EXPECT_EQ(read(every).setting, changed);

    const QStringList disabled = write(every, setting(every, PolicyState::Disabled, {}));
    EXPECT_TRUE(disabled.contains(u"del %1\\Count (stated)"_s.arg(key)));
    EXPECT_TRUE(disabled.contains(u"delvals %1\\Prefixed (stated)"_s.arg(key)));
    // A disabled form made of deletions leaves nothing to tell it from Not configured.
    EXPECT_EQ(read(every).setting.state, PolicyState::NotConfigured);

    const PolicyInstance& forms = policy(u"test:Forms"_s);
    const QString test = u"HKCU\\Software\\Policies\\Test"_s;
    EXPECT_EQ(write(forms, setting(forms, PolicyState::Enabled, {})),
              (QStringList{u"del %1\\Extra\\C"_s.arg(test), u"set %1\\Mode = 1:\"on\""_s.arg(test),
                           u"set %1\\Extra\\A = 4:1"_s.arg(test),
                           u"set %1\\Other\\B = 11:5000000000"_s.arg(test)}));
    EXPECT_EQ(read(forms).setting.state, PolicyState::Enabled);
    EXPECT_EQ(write(forms, setting(forms, PolicyState::Disabled, {})),
              (QStringList{u"del %1\\Extra\\A"_s.arg(test), u"del %1\\Other\\B"_s.arg(test),
                           u"set %1\\Mode = 1:\"off\""_s.arg(test), u"set %1\\Extra\\C = 4:0"_s.arg(test)}));
    EXPECT_EQ(read(forms).setting.state, PolicyState::Disabled);
    EXPECT_EQ(write(forms, {}),
              (QStringList{u"del %1\\Mode"_s.arg(test), u"del %1\\Extra\\A"_s.arg(test),
                           u"del %1\\Other\\B"_s.arg(test), u"del %1\\Extra\\C"_s.arg(test)}));
    EXPECT_EQ(read(forms).setting.state, PolicyState::NotConfigured);

    const PolicyInstance& plain = policy(u"test:Plain"_s);
    EXPECT_EQ(write(plain, setting(plain, PolicyState::Enabled, {})),
              (QStringList{u"set HKLM\\Software\\Policies\\Test\\Plain = 4:1"_s}));
    EXPECT_EQ(write(plain, setting(plain, PolicyState::Disabled, {})),
              (QStringList{u"del HKLM\\Software\\Policies\\Test\\Plain (stated)"_s}));
}

TEST_F(PolicyState_, WhatIsNeitherFormShowsAsItIsAndWhatCannotBeReadIsNoState) {
    const PolicyInstance& forms = policy(u"test:Forms"_s);
    const PolicyInstance& every = policy(u"user/test:Every"_s);
    const QString test = u"HKEY_CURRENT_USER\\Software\\Policies\\Test"_s;
    const struct {
        const char* what;
        QList<std::tuple<QString, QString, RegValue>> values;
        const PolicyInstance* policy;
        PolicyState state;
        QStringList found;
    } cases[] = {
        {"a value of another type",
         {{test, u"Mode"_s, regDword(1)}},
         &forms,
         PolicyState::Other,
         {u"Software\\Policies\\Test\\Mode = 1"_s}},
        {"the enabled value without its list",
         {{test, u"Mode"_s, regSz(u"on"_s)}},
         &forms,
         PolicyState::Other,
         {u"Software\\Policies\\Test\\Mode = \"on\""_s}},
        {"a number out of the template's range",
         {{test + u"\\Every"_s, u"Count"_s, regDword(11)}, {test + u"\\Every"_s, u"Name"_s, regSz(u"n"_s)}},
         &every,
         PolicyState::Other,
         {u"Software\\Policies\\Test\\Every\\Count = 11"_s,
          u"Software\\Policies\\Test\\Every\\Name = \"n\""_s}},
        {"a required element missing",
         {{test + u"\\Every"_s, u"Count"_s, regDword(3)}},
         &every,
         PolicyState::Other,
         {u"Software\\Policies\\Test\\Every\\Count = 3"_s}},
        {"every required element there",
         {{test + u"\\Every"_s, u"Count"_s, regDword(3)}, {test + u"\\Every"_s, u"Name"_s, regSz(u"n"_s)}},
         &every,
         PolicyState::Enabled,
         {u"Software\\Policies\\Test\\Every\\Count = 3"_s,
          u"Software\\Policies\\Test\\Every\\Name = \"n\""_s}},
        {"an entry of a self-named list under another name",
         {{test + u"\\Every\\Self"_s, u"x"_s, regSz(u"y"_s)}},
         &every,
         PolicyState::Other,
         {u"Software\\Policies\\Test\\Every\\Self\\x = \"y\""_s}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryBackend registry;
        for (const auto& [key, name, value] : c.values)
            registry.putValue(key, name, value);
        BackendPolicyView view(registry);
        const PolicyReading reading = PolicyReader::read(view, *c.policy);
        EXPECT_EQ(reading.setting.state, c.state);
        EXPECT_EQ(reading.found, c.found);
    }
    m_registry.setUnreadable(true);
    const PolicyReading unread = read(forms);
    EXPECT_EQ(unread.setting, (PolicySetting{PolicyState::Unread, {}}));
    EXPECT_FALSE(unread.unreadReason.isEmpty());
}

// The keys a policy's reading is announced with must hold every key it reads, or a target that
// answers from what it fetched ahead asks again for each key left out.
TEST_F(PolicyState_, TheKeysAnnouncedForAPolicyAreThoseItsReadingOpens) {
    struct RecordingView : PolicyRegistryView {
        Status value(HKEY hive, const QString& key, const QString&, RegValue*) override {
            asked.insert({hive, key.toLower()});
            return Status::Absent;
        }
        Status valueNames(HKEY hive, const QString& key, QStringList*) override {
            asked.insert({hive, key.toLower()});
            return Status::Absent;
        }
        QSet<std::pair<HKEY, QString>> asked;
    };
    for (const PolicyInstance& p : m_set.policies()) {
        SCOPED_TRACE(p.name().toStdString());
        RecordingView view;
        PolicyReader::read(view, p);
        QSet<std::pair<HKEY, QString>> announced;
        for (const RegKeyName& key : PolicyReader::keys(p))
            announced.insert({key.hive, key.subKey.toLower()});
        EXPECT_TRUE(announced.contains(view.asked));
        EXPECT_EQ(announced.size(), PolicyReader::keys(p).size());
    }
}

TEST_F(PolicyState_, ValuesTheTemplateDoesNotAllowAreRefusedWithTheReason) {
    const PolicyInstance& every = policy(u"machine/test:Every"_s);
    const struct {
        QStringList assignments;
        PolicyState state;
        const char* reason;
    } cases[] = {
        {{u"Count=3"_s}, PolicyState::Enabled, "Name is required"},
        {{u"Name=n"_s, u"Count=11"_s}, PolicyState::Enabled, "Count takes a number from 2 to 10, not \"11\""},
        {{u"Name=n"_s, u"Count=-3"_s}, PolicyState::Enabled, "Count takes a number from 2 to 10, not \"-3\""},
        {{u"Name=n"_s, u"Big=18446744073709551616"_s},
         PolicyState::Enabled,
         "Big takes a number from 0 to 18446744073709551615, not \"18446744073709551616\""},
        {{u"Name=ninechars"_s}, PolicyState::Enabled, "Name takes at most 8 characters, not 9"},
        {{u"Name=caf\u00e9\u20ac"_s},
         PolicyState::Enabled,
         "Name holds \"\u20ac\", which the registry's 8-bit text (Latin-1) cannot carry"},
        {{u"Name=n"_s, u"Choice=three"_s},
         PolicyState::Enabled,
         "Choice takes one of \"First choice\" (one), \"Second choice\" (2), not \"three\""},
        {{u"Name=n"_s, u"Flag=maybe"_s}, PolicyState::Enabled, "Flag takes true or false, not \"maybe\""},
        {{u"Name=n"_s, u"Lines=a\nb\nc\nd"_s}, PolicyState::Enabled, "Lines takes at most 3 lines, not 4"},
        {{u"Name=n"_s, u"Named=novalue"_s},
         PolicyState::Enabled,
         "Named takes entries NAME=DATA, not \"novalue\""},
        {{u"Name=n"_s, u"Self=a,A"_s}, PolicyState::Enabled, "Self names \"A\" twice"},
        {{u"Name=n"_s, u"Count+=3"_s},
         PolicyState::Enabled,
         "Count is a decimal, which takes one value (ELEMENT=VALUE), not more (+=)"},
        {{u"Nmae=n"_s},
         PolicyState::Enabled,
         "\"Nmae=n\" names no element of machine/test:Every; its elements are Flag, Listed, Count, AsText, "
         "Big, "
         "Choice, Name, Path, Lines, Numbered, Prefixed, Named, Self"},
        {{u"Name=n"_s}, PolicyState::Disabled, "element values go with Enabled only, not with Disabled"},
    };
    for (const auto& c : cases) {
        QString why;
        EXPECT_FALSE(PolicyValues::fromArguments(m_set, every, c.state, c.assignments, {}, &why));
        EXPECT_EQ(why, QString::fromUtf8(c.reason));
    }
    // Items by their text or their value, in any case; ids in any case.
    QString why;
    const std::optional<PolicySetting> ok = PolicyValues::fromArguments(
        m_set, every, PolicyState::Enabled, {u"name=n"_s, u"Choice=SECOND CHOICE"_s}, {}, &why);
    ASSERT_TRUE(ok) << why.toStdString();
    EXPECT_EQ(PolicyValues::display(m_set, every, every.policy->elementIndex(u"Choice"_s), ok->values[5]),
              u"Second choice"_s);
}

} // namespace
