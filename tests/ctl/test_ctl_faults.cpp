// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlFixture.h"
#include "support/FaultPlace.h"

namespace tavimor::test {
namespace {

// tavimorctl with its settings store and registry file on a place the test breaks.
class CtlFaults : public CtlFixture {
protected:
    CtlFaults() {
        m_vars.insert(QStringLiteral("TAVIMOR_TARGET"), QStringLiteral("file:") + registry());
        // Only writing commands make a registry file; the faults are set up on an existing one.
        EXPECT_EQ(runHere({QStringLiteral("unset"), QStringLiteral("NoRun")}).status, 0);
    }
    QString registry() const { return m_place.filePath(QStringLiteral("registry.reg")); }
    QString store() const { return m_place.filePath(QStringLiteral("TAVIMOR 4.0.ini")); }
    Result runHere(QStringList args) {
        return run(QStringList{QStringLiteral("--settings-folder"), m_place.path()} + args);
    }
    Result setNoRun(const char* value) {
        return runHere({QStringLiteral("set"), QStringLiteral("NoRun"), QLatin1String(value)});
    }
    Result setPassword(const QByteArray& password) {
        EXPECT_TRUE(writeFileAtomically(path("new.txt"), password));
        return runHere({QStringLiteral("password"), QStringLiteral("--new-password-file"), path("new.txt")});
    }

    FaultPlace m_place;
};

TEST_F(CtlFaults, PasswordOnAFullDiskFailsAndTheOldPasswordStillGuards) {
    SKIP_WITHOUT_MOUNT(m_place);
    ASSERT_EQ(setPassword("old").status, 0);
    const QByteArray before = fileBytes(store());
    m_vars.insert(QStringLiteral("TAVIMOR_PASSWORD"), QStringLiteral("old"));
    ASSERT_TRUE(m_place.fill());

    const Result full = setPassword("new");
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.out, QString());
    EXPECT_EQ(full.err,
              QStringLiteral("tavimorctl: The settings store %1 cannot be written: Cannot create the "
                             "lock file %1.lock: No space left on device. It was left as it was; fix "
                             "the cause and try again. (error 75 in bGlobal.MyPwdWrite)\n")
                  .arg(store()));
    EXPECT_EQ(fileBytes(store()), before);
    m_vars.insert(QStringLiteral("TAVIMOR_PASSWORD"), QStringLiteral("new"));
    EXPECT_EQ(runHere({QStringLiteral("list")}).status, 3);
    m_vars.remove(QStringLiteral("TAVIMOR_PASSWORD"));
    EXPECT_EQ(runHere({QStringLiteral("list")}).status, 3);
}

TEST_F(CtlFaults, ADamagedStoreStopsEveryCommandAndIsLeftAlone) {
    const QByteArray damaged = "[REGIKEY]\nquorvel=abc\n[REGIKEY\n";
    ASSERT_TRUE(writeBytes(store(), damaged));
    for (const QStringList& args :
         {QStringList{QStringLiteral("list")},
          QStringList{QStringLiteral("set"), QStringLiteral("NoRun"), QStringLiteral("1")}}) {
        const Result result = runHere(args);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, QString());
        EXPECT_EQ(
            result.err,
            QStringLiteral("tavimorctl: The settings store %1 is damaged (line 3: a section line without "
                           "its closing ]). Tavimor has not changed it; correct that line, or move the "
                           "file away to start again with the default settings and an empty "
                           "administrator password. (error 75 in bGlobal.MyPwdRead)\n")
                .arg(store()));
    }
    EXPECT_EQ(fileBytes(store()), damaged);
    EXPECT_EQ(setPassword("x").status, 1);
    EXPECT_EQ(fileBytes(store()), damaged);
}

TEST_F(CtlFaults, SetPrintsNoSuccessWhenTheRegistryCannotBeWritten) {
    ASSERT_EQ(setNoRun("0").status, 0);
    const QByteArray before = fileBytes(registry());
    const QString lock = registry() + QStringLiteral(".lock");
    {
        const LockHolder holder(lock);
        ASSERT_TRUE(holder.held());
        const Result locked = setNoRun("1");
        EXPECT_EQ(locked.status, 1);
        EXPECT_EQ(locked.out, QString());
        EXPECT_TRUE(locked.err.startsWith(
            QStringLiteral(
                "tavimorctl: Start Menu/Run Dialog: NoRun could not be written to file:%1: %2 is locked by "
                "another program (")
                .arg(registry(), lock)))
            << locked.err.toStdString();
        EXPECT_TRUE(locked.err.endsWith(
            QStringLiteral("process %1); try again when it has ended.\n").arg(holder.pid())));
        EXPECT_EQ(fileBytes(registry()), before);
    }
    const QString victim = m_place.filePath(QStringLiteral("victim.reg"));
    ASSERT_TRUE(QFile::rename(registry(), victim));
    ASSERT_TRUE(QFile::link(victim, registry()));
    const Result linked = setNoRun("1");
    EXPECT_EQ(linked.status, 1);
    EXPECT_EQ(linked.out, QString());
    EXPECT_TRUE(linked.err.contains(QStringLiteral("it is a symbolic link"))) << linked.err.toStdString();
    EXPECT_EQ(fileBytes(victim), before);
    ASSERT_TRUE(QFile::remove(registry()));
    ASSERT_TRUE(QFile::rename(victim, registry()));

    SKIP_WITHOUT_MOUNT(m_place);
    ASSERT_TRUE(m_place.makeReadOnly());
    for (const QStringList& args :
         {QStringList{QStringLiteral("set"), QStringLiteral("NoRun"), QStringLiteral("1")},
          QStringList{QStringLiteral("drives"), QStringLiteral("A")}}) {
        const Result readOnly = runHere(args);
        EXPECT_EQ(readOnly.status, 1);
        EXPECT_EQ(readOnly.out, QString());
        EXPECT_TRUE(readOnly.err.endsWith(
            QStringLiteral("Cannot create the lock file %1: Read-only file system\n").arg(lock)))
            << readOnly.err.toStdString();
    }
    EXPECT_EQ(fileBytes(registry()), before);
}

TEST_F(CtlFaults, SaveToAFullDiskOrALinkKeepsTheOldFile) {
    const QString target = m_place.filePath(QStringLiteral("out.rds"));
    const QString victim = m_place.filePath(QStringLiteral("victim"));
    ASSERT_TRUE(writeBytes(victim, "keep me\n"));
    ASSERT_TRUE(QFile::link(victim, target));
    const Result linked = runHere({QStringLiteral("save"), target});
    EXPECT_EQ(linked.status, 1);
    EXPECT_EQ(linked.out, QString());
    EXPECT_EQ(linked.err,
              QStringLiteral("tavimorctl: %1 was not written: it is a symbolic link, and Tavimor does "
                             "not write through links; put the file itself in its place\n")
                  .arg(target));
    EXPECT_EQ(fileBytes(victim), QByteArray("keep me\n"));

    SKIP_WITHOUT_MOUNT(m_place);
    ASSERT_TRUE(QFile::remove(target));
    ASSERT_TRUE(m_place.fill());
    const Result full = runHere({QStringLiteral("save"), target});
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err,
              QStringLiteral("tavimorctl: %1 was not written: No space left on device\n").arg(target));
    EXPECT_FALSE(QFile::exists(target));
}

} // namespace
} // namespace tavimor::test
