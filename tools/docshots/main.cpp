// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the README's screenshots into the folder given: docshots docs/
// The windows start over the window tests' fixtures (an in-memory Windows 98 registry, a fixed clock).
#include "TemplateShots.h"
#include "base/FileUtil.h"
#include "catalogue/BuiltinCatalogue.h"
#include "catalogue/EntryEdit.h"
#include "catalogue/RegistryChoices.h"
#include "catalogue/RegistrySync.h"
#include "editors/frmDrives.h"
#include "editors/frmEditSettings.h"
#include "editors/frmRestart.h"
#include "explorer/ExplorerFixture.h"
#include "explorer/frmOpenRegistry.h"
#include "gui/BusyWatcher.h"
#include "gui/Twips.h"
#include "startup/HelpViewer.h"
#include "startup/StartupSequence.h"
#include "startup/StartupWindows.h"
#include "startup/frmAbout.h"
#include "startup/frmErrorHandler.h"
#include "startup/frmLogin.h"
#include "startup/frmSplash.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressDialog>
#include <QRadioButton>
#include <QStyle>
#include <QTextStream>

using namespace tavimor;
using namespace tavimor::test;
using namespace Qt::StringLiterals;

namespace {

class NoWindows : public StartupWindows {
public:
    void showSplash() override {}
    void closeSplash() override {}
    std::optional<QString> passwordDialog(bool) override { return QString(); }
    int osConfirmation() override { return 1; }
    void showMainWindow(int, int) override {}
};

class Shots {
public:
    explicit Shots(const QString& folder)
        : m_folder(folder) {}

    void startup() {
        ProgramHarness f;
        NoWindows none;
        StartupSequence sequence(f.context, none, [](int) {});
        frmSplash splash(sequence);
        save(splash, u"splash.png"_s);

        frmLogin login(f.prompter);
        login.prepare(false);
        save(login, u"login.png"_s);

        RecordingShell shell;
        frmAbout about(shell);
        save(about, u"about.png"_s);

        FixedClock clock;
        frmErrorHandler error({f.prompter, shell, clock, f.context.programFolder, QString(), [](int) {
                               }});
        error.setError(-2146893819, u"Bad Data."_s, u"bGlobal.MyPwdRead"_s);
        error.show();
        error.cmdSendReport_Click();
        save(error, u"error-report.png"_s);

        HelpViewer help(QStringLiteral(TAVIMOR_SOURCE_DIR "/resources/program"));
        help.showTopic(u"password"_s);
        save(help, u"help.png"_s);
        help.showTopic(u"Start Menu"_s);
        save(help, u"help-section.png"_s);
    }

    void editors() {
        ProgramHarness h;
        h.loadBoth(builtinCatalogueText());
        QDir().mkpath(h.context.programFolder + u"/Resources"_s);
        QFile::copy(QStringLiteral(TAVIMOR_SOURCE_DIR "/resources/program/Resources/SM005.rdi"),
                    h.context.programFolder + u"/Resources/SM005.rdi"_s);
        frmEditSettings edit(h.context, {});
        edit.setRegXPath(kRunDialog);
        edit.setRestartNoteVisible(true);
        edit.show();
        edit.findChild<QRadioButton*>(u"optRegValue1"_s)->click();
        save(edit, u"edit-settings.png"_s);

        h.backend.putValue(kExplorerPolicies, u"NoDrives"_s, regDword(0x9));
        frmDrives drives(h.context);
        save(drives, u"drives.png"_s);

        frmRestart restart(h.context);
        save(restart, u"restart.png"_s);
    }

    void mainWindow() {
        ExplorerFixture f;
        frmRegistryExplorer& w = f.start();
        showWithOuterSize(&w, 11895, 7935);
        save(w, u"main-window.png"_s);

        // Find Dialog disabled in the registry, Run Dialog changed but not applied.
        f.setRegistry(u"NoFind"_s, 1);
        applyEntryLater(f.context, kRunDialog, u"1"_s);
        showSection(f, 4);
        w.RefreshList(QLatin1String(kAllEntries));
        f.selectRow(3);
        w.showHintAt(f.list()->visualItemRect(f.list()->topLevelItem(3)).center());
        save(w, u"main-window-section.png"_s);

        // The longest section: the list scrolls, the columns keep their widths.
        showSection(f, 6);
        w.showHintAt(f.list()->visualItemRect(f.list()->topLevelItem(1)).center());
        save(w, u"main-window-long-section.png"_s);
    }

    void registries() {
        ExplorerFixture f;
        QTemporaryDir home;
        for (const QString& prefix : {u".wine"_s, u".local/share/bottles/bottles/Office"_s,
                                      u".local/share/Steam/steamapps/compatdata/220/pfx"_s})
            for (const char* file : {"/user.reg", "/system.reg"}) {
                if (!QDir().mkpath(home.filePath(prefix)) ||
                    !writeFileAtomically(home.filePath(prefix) + QLatin1String(file),
                                         "WINE REGISTRY Version 2\n#arch=win64\n\n[Software] 1\n"))
                    ++failures;
            }
        const ChooserPlaces places{home.path(), QString(), {}, {}};
        QList<RegistryChoice> choices = registryChoices(places, {u"wine:"_s + home.filePath(u".wine"_s)});
        // No disk is mounted where the pictures are drawn: these are the lines two mounted disks give.
        for (RegistryChoice& group : choices)
            if (group.label == u"Windows installations"_s)
                group = {group.label,
                         std::nullopt,
                         QString(),
                         {{u"/mnt/win (/dev/sdb2, NTFS, read-only)"_s,
                           std::nullopt,
                           QString(),
                           {{u"anna (read-only)"_s, u"windows:/mnt/win?user=anna"_s, QString(), {}},
                            {u"kiosk (read-only)"_s, u"windows:/mnt/win?user=kiosk"_s, QString(), {}}}},
                          {u"/media/ann/W98/WINDOWS (/dev/sdc1, FAT, Windows 95/98/Me, read-only)"_s,
                           u"win9x:/media/ann/W98/WINDOWS"_s,
                           QString(),
                           {}}}};
        frmOpenRegistry chooser(f.prompter, choices, QString(), home.path(),
                                [](const QString&) { return true; });
        auto* tree = chooser.findChild<QTreeWidget*>(u"trvRegistries"_s);
        tree->setCurrentItem(tree->findItems(u"anna"_s, Qt::MatchStartsWith | Qt::MatchRecursive).value(0));
        save(chooser, u"open-registry.png"_s);
    }

    void templates() {
        templateShots([this](QWidget& window, const QString& name) { save(window, name); });
    }

    void desktop() {
        const QString style = QApplication::style()->name();
        QApplication::setStyle(u"Fusion"_s);
        QApplication::setPalette(darkPalette());
        {
            ExplorerFixture f;
            frmRegistryExplorer& w = f.start();
            w.resize(820, 480);
            w.show();
            w.FillList(u"TAVIMOR/REGISTRYSETTINGS[4]"_s);
            save(w, u"main-window-dark.png"_s);
            QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
            QTest::keyClicks(w.findChild<QLineEdit*>(u"txtFilter"_s), u"page"_s);
            f.list()->resizeColumnToContents(0); // as a user widens it to read each row's section
            save(w, u"filter-box.png"_s);
        }
        QApplication::setStyle(style);
        QApplication::setPalette(QApplication::style()->standardPalette());

        BusyWatcher busy;
        QElapsedTimer clock;
        clock.start();
        const QString what = QStringLiteral("wine reg query HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\"
                                            "CurrentVersion\\Policies\\Explorer /v NoRun");
        while (clock.elapsed() < BusyWatcher::kDialogDelayMs + 200)
            busy.stillWaiting(what);
        if (busy.dialog())
            save(*busy.dialog(), u"progress-dialog.png"_s);
        else
            fail(u"progress-dialog.png"_s);
    }

    int failures = 0;

private:
    static QPalette darkPalette() {
        QPalette dark;
        dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
        dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
        dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
        dark.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
        dark.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
        dark.setColor(QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
        dark.setColor(QPalette::Highlight, QColor(0x2a, 0x62, 0xa8));
        dark.setColor(QPalette::HighlightedText, Qt::white);
        dark.setColor(QPalette::AlternateBase, QColor(0x26, 0x26, 0x26));
        for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            dark.setColor(QPalette::Disabled, role, QColor(0x7f, 0x7f, 0x7f));
        return dark;
    }
    static void showSection(ExplorerFixture& f, int section) {
        QTreeWidgetItem* node = f.tree()->topLevelItem(0)->child(section);
        f.tree()->setCurrentItem(node);
        emit f.tree()->itemClicked(node, 0);
    }
    void save(QWidget& window, const QString& name) {
        window.show();
        if (!QTest::qWaitForWindowExposed(&window) ||
            !window.grab().save(QDir(m_folder).filePath(name), "PNG"))
            fail(name);
    }
    void fail(const QString& name) {
        QTextStream(stderr) << "docshots: " << name << " was not written\n";
        ++failures;
    }

    QString m_folder;
};

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true); // as the window tests draw
    const QStringList args = app.arguments();
    if (args.size() != 2 || !QFileInfo(args[1]).isDir()) {
        QTextStream(stderr) << "usage: docshots FOLDER\n";
        return 2;
    }
    Shots shots(args[1]);
    shots.startup();
    shots.editors();
    shots.mainWindow();
    shots.registries();
    shots.templates();
    shots.desktop();
    return shots.failures == 0 ? 0 : 1;
}
