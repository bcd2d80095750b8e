// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/FileUtil.h"
#include "catalogue/RegistryChoices.h"
#include "grouppolicy/TargetFactory.h"
#include "registry/RegistryTarget.h"
#include "registry/TargetText.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace tavimor;

namespace {

class TargetDiscovery : public ::testing::Test {
protected:
    QString put(const QString& relative, const QByteArray& content = QByteArray()) {
        const QString path = root.filePath(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        EXPECT_TRUE(writeFileAtomically(path, content));
        return path;
    }
    QString prefix(const QString& relative, const QByteArray& userArch = "win64",
                   const QByteArray& machineArch = "win64") {
        put(relative + u"/user.reg"_s, "WINE REGISTRY Version 2\n#arch=" + userArch + "\n\n[Software] 1\n");
        put(relative + u"/system.reg"_s,
            "WINE REGISTRY Version 2\n#arch=" + machineArch + "\n\n[Software] 1\n");
        return root.filePath(relative);
    }
    QString windowsDisk(const QString& relative, const QStringList& profiles) {
        put(relative + u"/Windows/System32/config/SOFTWARE"_s, "regf");
        for (const QString& profile : profiles)
            put(relative + u"/Users/"_s + profile + u"/NTUSER.DAT"_s, "regf");
        return root.filePath(relative);
    }
    static QStringList targets(const QList<RegistryChoice>& choices) {
        QStringList list;
        for (const RegistryChoice& choice : choices)
            list.append(choice.target.value_or(u"-"_s));
        return list;
    }

    QTemporaryDir root;
};

TEST(TargetText, PathsAreMadeAbsoluteShortenedToTheHomeAndBackAgain) {
    const QString home = u"/home/ann"_s;
    const QString cwd = QDir::currentPath();
    const struct {
        QString typed, canonical, shown;
    } cases[] = {
        {u"wine:/home/ann/.wine"_s, u"wine:/home/ann/.wine"_s, u"wine:~/.wine"_s},
        {u"file:x.reg"_s, u"file:"_s + cwd + u"/x.reg"_s, u"file:"_s + cwd + u"/x.reg"_s},
        {u"hive:/home/ann/N.DAT,,/mnt/S"_s, u"hive:/home/ann/N.DAT,,/mnt/S"_s, u"hive:~/N.DAT,,/mnt/S"_s},
        {u"windows:/home/ann?user=bo"_s, u"windows:/home/ann?user=bo"_s, u"windows:~?user=bo"_s},
        {u"gpo:/home/ann/sv?gpo=a/b&url=ldb:///home/ann/x"_s,
         u"gpo:/home/ann/sv?gpo=a/b&url=ldb:///home/ann/x"_s, u"gpo:~/sv?gpo=a/b&url=ldb:///home/ann/x"_s},
        {u"pol:/home/annex"_s, u"pol:/home/annex"_s, u"pol:/home/annex"_s},
        {u"memory:"_s, u"memory:"_s, u"memory:"_s},
        {u"file:"_s + defaultRegistryFile(), QString(), QString()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(canonicalTarget(c.typed), c.canonical) << c.typed.toStdString();
        EXPECT_EQ(displayTarget(c.canonical, home), c.shown) << c.typed.toStdString();
        EXPECT_EQ(expandTarget(u" "_s + c.shown, home), c.canonical) << c.typed.toStdString();
    }
    EXPECT_EQ(targetCaption(u"Tavimor 4.0"_s, QString(), home), u"Tavimor 4.0"_s);
    EXPECT_EQ(targetCaption(u"Tavimor 4.0"_s, u"wine:/home/ann/.wine"_s, home),
              u"Tavimor 4.0 - wine:~/.wine"_s);
}

TEST_F(TargetDiscovery, MountTableEscapesAndReadOnlyFlags) {
    const QList<MountEntry> mounts = parseMountInfo(
        "36 25 8:18 / /mnt/win\\040disk rw,relatime shared:1 master:2 - ntfs3 /dev/sdb2 rw,uid=1000\n"
        "37 25 8:17 / /mnt/w98 rw - vfat /dev/sdb1 ro\n"
        "38 25 8:16 / /mnt/x ro - ext4 /dev/sda1 rw\n"
        "broken line\n");
    ASSERT_EQ(mounts.size(), 3);
    EXPECT_EQ(mounts[0].mountPoint, u"/mnt/win disk"_s);
    EXPECT_EQ(mounts[0].fsType, u"ntfs3"_s);
    EXPECT_EQ(mounts[0].source, u"/dev/sdb2"_s);
    EXPECT_EQ((QList<bool>{mounts[0].readOnly, mounts[1].readOnly, mounts[2].readOnly}),
              (QList<bool>{false, true, true}));
}

TEST_F(TargetDiscovery, WindowsOnNtfsFatAndExfatMountsWithTheirProfiles) {
    const QString nt = windowsDisk(u"win disk"_s, {u"anna"_s, u"bo"_s, u"Public"_s});
    const QString lonely = windowsDisk(u"lonely"_s, {});
    put(u"w98/windows/system.dat"_s, "CREG");
    const QString linuxDisk = windowsDisk(u"ext"_s, {u"anna"_s});
    const QList<RegistryChoice> found =
        windowsChoices({{nt, u"ntfs3"_s, u"/dev/sdb2"_s, true},
                        {nt, u"ntfs3"_s, u"/dev/sdb2"_s, true}, // a second mount of the same folder
                        {lonely, u"fuseblk"_s, u"/dev/sdc1"_s, false},
                        {root.filePath(u"w98"_s), u"vfat"_s, u"/dev/sdb1"_s, false},
                        {linuxDisk, u"ext4"_s, u"/dev/sda1"_s, false}},
                       root.path());
    ASSERT_EQ(found.size(), 3);
    EXPECT_EQ(found[0].label, u"~/win disk (/dev/sdb2, NTFS, read-only)"_s);
    EXPECT_EQ(targets(found[0].children),
              (QStringList{u"windows:"_s + nt + u"?user=anna"_s, u"windows:"_s + nt + u"?user=bo"_s}));
    EXPECT_EQ(found[0].children[1].label, u"bo (read-only)"_s);
    EXPECT_EQ(found[1].label, u"~/lonely (/dev/sdc1)"_s);
    EXPECT_FALSE(found[1].problem.isEmpty());
    EXPECT_EQ(found[2].label, u"~/w98/windows (/dev/sdb1, FAT, Windows 95/98/Me, read-only)"_s);
    EXPECT_EQ(found[2].target, u"win9x:"_s + root.filePath(u"w98/windows"_s));
}

TEST_F(TargetDiscovery, WinePrefixesAreCheckedAsTheWineTargetChecksThem) {
    const QString home = root.path();
    prefix(u".wine"_s);
    const QString variable = prefix(u"elsewhere"_s);
    prefix(u".local/share/bottles/bottles/Office"_s);
    prefix(u".local/share/Steam/steamapps/compatdata/220/pfx"_s);
    QDir().mkpath(root.filePath(u".steam"_s));
    ASSERT_TRUE(QFile::link(root.filePath(u".local/share/Steam"_s), root.filePath(u".steam/steam"_s)));
    prefix(u"Games/damaged"_s, "win32", "win64");
    put(u"Games/notes/readme.txt"_s);
    const QList<RegistryChoice> found = winePrefixChoices(home, variable);
    QStringList labels;
    for (const RegistryChoice& choice : found)
        labels.append(choice.label);
    // Steam's folder is seen once through its link; a folder without registry files is no prefix.
    EXPECT_EQ(labels, (QStringList{u"$WINEPREFIX"_s, u"~/.wine"_s, u"Bottles: Office"_s, u"Lutris: damaged"_s,
                                   u"Steam: 220"_s}));
    EXPECT_EQ(found[1].target, u"wine:"_s + home + u"/.wine"_s);
    EXPECT_TRUE(found[1].problem.isEmpty());
    EXPECT_EQ(found[3].problem,
              u"The Wine prefix %1 is damaged: user.reg is for win32, system.reg for win64."_s.arg(
                  root.filePath(u"Games/damaged"_s)));
}

TEST_F(TargetDiscovery, ABrowsedFolderOrFileIsTakenForWhatItHolds) {
    const QString wine = prefix(u"p"_s);
    const QString nt = windowsDisk(u"c"_s, {u"anna"_s});
    put(u"a/WINDOWS/SYSTEM.DAT"_s);
    put(u"gp/machine/registry.pol"_s, "PReg");
    const QString userHive = put(u"h/NTUSER.DAT"_s, "regf....");
    const QString software = put(u"h/software"_s, "regf....");
    const QString regFile = put(u"x.reg"_s, "REGEDIT4\r\n");
    const QString pol = put(u"gp2/User/Registry.pol"_s, "PReg");
    const QString a = root.path();
    const struct {
        QString path, target;
    } cases[] = {
        {wine, u"wine:"_s + wine},
        {wine + u"/user.reg"_s, u"wine:"_s + wine},
        {a + u"/a"_s, u"win9x:"_s + a + u"/a/WINDOWS"_s},
        {a + u"/gp"_s, u"pol:"_s + a + u"/gp"_s},
        {pol, u"pol:"_s + a + u"/gp2"_s},
        {userHive, u"hive:"_s + userHive},
        {software, u"hive:,"_s + software},
        {regFile, u"file:"_s + regFile},
    };
    for (const auto& c : cases) {
        QString error;
        const std::optional<RegistryChoice> choice = browsedChoice(c.path, a, &error);
        ASSERT_TRUE(choice) << error.toStdString();
        EXPECT_EQ(choice->target, c.target);
    }
    QString error;
    const std::optional<RegistryChoice> disk = browsedChoice(nt, a, &error);
    ASSERT_TRUE(disk);
    EXPECT_EQ(targets(disk->children), QStringList{u"windows:"_s + nt + u"?user=anna"_s});
    EXPECT_FALSE(browsedChoice(a + u"/h"_s, a, &error));
    EXPECT_TRUE(error.startsWith(a + u"/h is none of the registries Tavimor opens"_s));
}

// A SYSVOL folder lists its GPOs by name and GUID (GPT.INI names them when no directory is beside
// it); a GPO folder that is a link is not offered; each line opens as the GPO it names.
TEST_F(TargetDiscovery, ASysvolFolderListsItsGposAndEachOpens) {
    const QString named = u"{31B2F340-016D-11D2-945F-00C04FB984F9}"_s;
    const QString bare = u"{6AC1786C-016F-11D2-945F-00C04FB984F9}"_s;
    const QString policies = u"sysvol/ad.example/Policies/"_s;
    put(policies + named + u"/GPT.INI"_s, "[General]\r\nVersion=3\r\ndisplayName=Lock Down\r\n");
    put(policies + bare + u"/GPT.INI"_s, "[General]\r\nVersion=0\r\n");
    put(u"elsewhere/{0E0F39A2-3B1C-4C3E-9D3E-2A4B5C6D7E8F}/GPT.INI"_s, "[General]\r\n");
    ASSERT_TRUE(QFile::link(root.filePath(u"elsewhere/{0E0F39A2-3B1C-4C3E-9D3E-2A4B5C6D7E8F}"_s),
                            root.filePath(policies + u"{0E0F39A2-3B1C-4C3E-9D3E-2A4B5C6D7E8F}"_s)));
    const QString sysvol = root.filePath(u"sysvol"_s);
    const QStringList expected{u"gpo:%1?gpo=%2"_s.arg(sysvol, named), u"gpo:%1?gpo=%2"_s.arg(sysvol, bare)};

    QString error;
    const std::optional<RegistryChoice> browsed = browsedChoice(sysvol, root.path(), &error);
    ASSERT_TRUE(browsed) << error.toStdString();
    EXPECT_EQ(targets(browsed->children), expected);
    EXPECT_EQ(browsed->children[0].label, u"Lock Down "_s + named);
    EXPECT_EQ(browsed->children[1].label, bare);

    ChooserPlaces places;
    places.home = root.path();
    places.sysvols = {sysvol};
    const QList<RegistryChoice> choices = registryChoices(places, {});
    ASSERT_EQ(choices.last().label, u"Group Policy"_s);
    ASSERT_EQ(choices.last().children.size(), 1);
    EXPECT_EQ(targets(choices.last().children[0].children), expected);

    const std::unique_ptr<RegistryBackend> gpo = openTarget(expected[0], &error, TargetUse::MustExist);
    ASSERT_TRUE(gpo) << error.toStdString();
    EXPECT_EQ(gpo->computerName(), u"Lock Down"_s);
}

} // namespace
