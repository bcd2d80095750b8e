// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlFixture.h"

namespace tavimor::test {
namespace {

// tavimorctl with its settings store and registry file on a place the test breaks.
class CtlFaults : public CtlFixture {
protected:
    CtlFaults() {
        m_vars.insert(u"TAVIMOR_TARGET"_s, u"file:"_s + registry());
        // Only writing commands make a registry file; the faults are set up on an existing one.
        EXPECT_EQ(runHere("unset", "NoRun").status, 0);
    }
    QString registry() const { return m_place.filePath(u"registry.reg"_s); }
    QString store() const { return m_place.filePath(u"TAVIMOR 4.0.ini"_s); }
    template <typename... Args> Result runHere(const Args&... args) {
        return ctl("--settings-folder", m_place.path(), args...);
    }
    Result setNoRun(const char* value) { return runHere("set", "NoRun", value); }
    Result setPassword(const QByteArray& password) {
        EXPECT_TRUE(writeFileAtomically(path("new.txt"), password));
        return runHere("password", "--new-password-file", path("new.txt"));
    }

    FaultPlace m_place;
};

TEST_F(CtlFaults, PasswordOnAFullDiskFailsAndTheOldPasswordStillGuards) {
    SKIP_WITHOUT_MOUNT(m_place);
    ASSERT_EQ(setPassword("old").status, 0);
    const QByteArray before = fileBytes(store());
    m_vars.insert(u"TAVIMOR_PASSWORD"_s, u"old"_s);
    ASSERT_TRUE(m_place.fill());

    EXPECT_EQ(failed(setPassword("new"), 1).err,
              QStringLiteral("tavimorctl: The settings store %1 cannot be written: Cannot create the "
                             "lock file %1.lock: No space left on device. It was left as it was; fix "
                             "the cause and try again. (error 75 in bGlobal.MyPwdWrite)\n")
                  .arg(store()));
    EXPECT_EQ(fileBytes(store()), before);
    m_vars.insert(u"TAVIMOR_PASSWORD"_s, u"new"_s);
    EXPECT_EQ(runHere("list").status, 3);
}

TEST_F(CtlFaults, ADamagedStoreStopsEveryCommandAndIsLeftAlone) {
    const QByteArray damaged = "[REGIKEY]\nquorvel=abc\n[REGIKEY\n";
    ASSERT_TRUE(writeBytes(store(), damaged));
    for (const Result& result : {runHere("list"), setNoRun("1")})
        EXPECT_EQ(
            failed(result, 1).err,
            QStringLiteral("tavimorctl: The settings store %1 is damaged (line 3: a section line without "
                           "its closing ]). Tavimor has not changed it; correct that line, or move the "
                           "file away to start again with the default settings and an empty "
                           "administrator password. (error 75 in bGlobal.MyPwdRead)\n")
                .arg(store()));
    EXPECT_EQ(setPassword("x").status, 1);
    EXPECT_EQ(fileBytes(store()), damaged);
}

TEST_F(CtlFaults, SetPrintsNoSuccessWhenTheRegistryCannotBeWritten) {
    ASSERT_EQ(setNoRun("0").status, 0);
    const QByteArray before = fileBytes(registry());
    const QString lock = registry() + u".lock"_s;
    {
        const LockHolder holder(lock);
        ASSERT_TRUE(holder.held());
        const Result locked = failed(setNoRun("1"), 1);
        EXPECT_TRUE(locked.err.startsWith(
            QStringLiteral(
                "tavimorctl: Start Menu/Run Dialog: NoRun could not be written to file:%1: %2 is locked by "
                "another program (")
                .arg(registry(), lock)))
            << locked.err.toStdString();
        EXPECT_TRUE(locked.err.endsWith(u"process %1); try again when it has ended.\n"_s.arg(holder.pid())));
        EXPECT_EQ(fileBytes(registry()), before);
    }
    const QString victim = m_place.filePath(u"victim.reg"_s);
    ASSERT_TRUE(QFile::rename(registry(), victim));
    ASSERT_TRUE(QFile::link(victim, registry()));
    const Result linked = failed(setNoRun("1"), 1);
    EXPECT_TRUE(linked.err.contains(u"it is a symbolic link"_s)) << linked.err.toStdString();
    EXPECT_EQ(fileBytes(victim), before);
    ASSERT_TRUE(QFile::remove(registry()));
    ASSERT_TRUE(QFile::rename(victim, registry()));

    SKIP_WITHOUT_MOUNT(m_place);
    ASSERT_TRUE(m_place.makeReadOnly());
    for (const Result& readOnly : {setNoRun("1"), runHere("drives", "A")})
        EXPECT_TRUE(failed(readOnly, 1)
                        .err.endsWith(u"Cannot create the lock file %1: Read-only file system\n"_s.arg(lock)))
            << readOnly.err.toStdString();
    EXPECT_EQ(fileBytes(registry()), before);
}

TEST_F(CtlFaults, SaveToAFullDiskOrALinkKeepsTheOldFile) {
    const QString target = m_place.filePath(u"out.rds"_s);
    const QString victim = m_place.filePath(u"victim"_s);
    ASSERT_TRUE(writeBytes(victim, "keep me\n"));
    ASSERT_TRUE(QFile::link(victim, target));
    EXPECT_EQ(failed(runHere("save", target), 1).err,
              QStringLiteral("tavimorctl: %1 was not written: it is a symbolic link, and Tavimor does "
                             "not write through links; put the file itself in its place\n")
                  .arg(target));
    EXPECT_EQ(fileBytes(victim), QByteArray("keep me\n"));

    SKIP_WITHOUT_MOUNT(m_place);
    ASSERT_TRUE(QFile::remove(target));
    ASSERT_TRUE(m_place.fill());
    EXPECT_EQ(failed(runHere("save", target), 1).err,
              u"tavimorctl: %1 was not written: No space left on device\n"_s.arg(target));
    EXPECT_FALSE(QFile::exists(target));
}

} // namespace
} // namespace tavimor::test
