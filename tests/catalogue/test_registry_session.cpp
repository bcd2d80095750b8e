// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/RegistrySession.h"
#include "catalogue/RegistrySync.h"
#include "support/CoreFixture.h"

using namespace Qt::StringLiterals;
using namespace tavimor;
using namespace tavimor::test;

namespace {

const QString kQuestion = QStringLiteral(
    "Few of the changes you have made have not been applied to the system. Do you want apply them now?");

class RegistrySessionTest : public CoreFixture {
protected:
    RegistrySessionTest() {
        loadBuiltin();
        RefreshCurrentValues(context, QLatin1String(kAllEntries));
        context.workingCatalogue.copyFrom(context.machineCatalogue);
        for (const SeedValue& seed : windows98Seed(u"OTHERBOX"_s))
            next->putValue(seed.keyPath, seed.name, seed.value);
        next->putValue(kExplorerPolicies, u"NoRun"_s, regDword(1));
    }
    RegistrySession::Result open(const QString& target) {
        return session.open(target, {[this](RegistryBackend& b) {
                                         calls.append(u"version of "_s + b.targetName());
                                         return versionAnswer;
                                     },
                                     [this] { calls.append(u"restart of "_s + context.target); },
                                     [this] {
                                         calls.append(u"switched to "_s + context.target);
                                     }});
    }

    std::unique_ptr<MemoryBackend> next = std::make_unique<MemoryBackend>();
    QString openError;
    QStringList opened;
    QStringList calls;
    bool versionAnswer = true;
    RegistrySession session{context, QString(), [this](const QString& target, QString* error) {
                                opened.append(target);
                                *error = openError;
                                return openError.isEmpty() ? std::unique_ptr<RegistryBackend>(std::move(next))
                                                           : nullptr;
                            }};
};

TEST_F(RegistrySessionTest, AnotherRegistryIsOpenedAsAStartOnItAndRemembered) {
    context.restartNeeded = true;
    const RegistryBackend* opening = next.get();
    ASSERT_EQ(open(u"memory:"_s), RegistrySession::Result::Opened);
    EXPECT_EQ(&context.registry.backend(), opening);
    EXPECT_EQ(calls, (QStringList{u"version of memory:"_s, u"restart of "_s, u"switched to memory:"_s}));
    EXPECT_EQ(context.target, u"memory:"_s);
    EXPECT_FALSE(context.restartNeeded);
    EXPECT_EQ(machine(kRunDialog), u"1"_s);
    EXPECT_FALSE(changesPending(context));
    EXPECT_EQ(context.machineCatalogue.selectSingleNode(u"TAVIMOR"_s).attribute(u"SystemName"_s),
              u"OTHERBOX"_s);
    EXPECT_EQ(recentTargets(settings), QStringList{u"memory:"_s});
    // The same registry again is read again, not opened a second time.
    next = std::make_unique<MemoryBackend>();
    ASSERT_EQ(open(u"memory:"_s), RegistrySession::Result::Opened);
    EXPECT_EQ(opened, QStringList{u"memory:"_s});
}

TEST_F(RegistrySessionTest, AFailureOrARefusalLeavesTheRegistryAsItWas) {
    const struct {
        QString error;
        Answer pending;
        bool version;
        RegistrySession::Result result;
        QStringList messages;
    } cases[] = {
        {u"The Wine prefix /x does not exist."_s,
         Answer::Yes,
         true,
         RegistrySession::Result::Failed,
         {u"The Wine prefix /x does not exist."_s}},
        {QString(), Answer::Cancel, true, RegistrySession::Result::Stayed, {kQuestion}},
        {QString(), Answer::No, false, RegistrySession::Result::Stayed, {kQuestion}},
    };
    for (const auto& c : cases) {
        prompter.clear();
        next = std::make_unique<MemoryBackend>();
        openError = c.error;
        versionAnswer = c.version;
        context.restartNeeded = true;
        setCurrentValue(context.workingCatalogue, kRunDialog, u"1"_s);
        prompter.queueAnswer(c.pending);
        EXPECT_EQ(open(u"wine:/x"_s), c.result);
        EXPECT_EQ(prompter.messageTexts(), c.messages);
        EXPECT_EQ(&context.registry.backend(), static_cast<RegistryBackend*>(&backend));
        EXPECT_EQ(context.target, QString());
        EXPECT_TRUE(context.restartNeeded);
        EXPECT_EQ(machine(kRunDialog), u"0"_s);
        EXPECT_EQ(recentTargets(settings), QStringList());
    }
}

TEST_F(RegistrySessionTest, TheLastFewRegistriesAreKeptNewestFirst) {
    for (const char* target : {"a:", "b:", "c:", "a:", "d:", "e:", "f:"})
        ASSERT_TRUE(rememberTarget(settings, QLatin1String(target)));
    ASSERT_TRUE(rememberTarget(settings, QString()));
    EXPECT_EQ(recentTargets(settings), (QStringList{u"f:"_s, u"e:"_s, u"d:"_s, u"a:"_s, u"c:"_s}));
}

} // namespace
