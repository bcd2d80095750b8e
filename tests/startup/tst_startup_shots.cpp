// SPDX-License-Identifier: GPL-3.0-or-later
#include "StartupFixture.h"
#include "startup/HelpViewer.h"
#include "startup/StartupSequence.h"
#include "startup/StartupWindows.h"
#include "startup/frmAbout.h"
#include "startup/frmErrorHandler.h"
#include "startup/frmLogin.h"
#include "startup/frmSplash.h"

#include <QTest>

using namespace tavimor;
using namespace Qt::StringLiterals;
using namespace tavimor::test;

namespace {

class NoWindows : public StartupWindows {
public:
    void showSplash() override {}
    void closeSplash() override {}
    std::optional<QString> passwordDialog(bool) override { return QString(); }
    int osConfirmation() override { return 1; }
    void showMainWindow(int, int) override {}
};

} // namespace

// Pictures of the start-up windows for the documentation, written only when TAVIMOR_SHOTS_DIR names a
// folder, so ordinary test runs write nothing.
class TestStartupShots : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        m_folder = qEnvironmentVariable("TAVIMOR_SHOTS_DIR");
        if (m_folder.isEmpty())
            QSKIP("TAVIMOR_SHOTS_DIR is not set");
    }

    void windows() {
        StartupFixture f;
        NoWindows none;
        StartupSequence sequence(f.context, none, [](int) {});
        frmSplash splash(sequence);
        save(splash, "splash.png");

        frmLogin login(f.prompter);
        login.prepare(false);
        save(login, "login.png");

        RecordingShell shell;
        frmAbout about(shell);
        save(about, "about.png");

        FixedClock clock;
        frmErrorHandler error({f.prompter, shell, clock, f.context.programFolder, QString(), [](int) {
                               }});
        error.setError(-2146893819, u"Bad Data."_s, u"bGlobal.MyPwdRead"_s);
        error.show();
        error.cmdSendReport_Click();
        save(error, "error-report.png");

        const QString book =
            QFileInfo(QFINDTESTDATA("../../resources/program/help/index.html")).absolutePath();
        HelpViewer help(QFileInfo(book).absolutePath());
        help.showTopic(u"password"_s);
        save(help, "help.png");
        help.showTopic(u"Start Menu"_s);
        save(help, "help-section.png");
    }

private:
    void save(QWidget& window, const char* name) {
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.grab().save(m_folder + u'/' + QLatin1String(name)));
    }
    QString m_folder;
};

QTEST_MAIN(TestStartupShots)
#include "tst_startup_shots.moc"
