// SPDX-License-Identifier: GPL-3.0-or-later
// Times program start to main window shown, against a bare QMainWindow and the same with one line of
// text (the least a window showing text pays: the font set-up), each in fresh processes.
// Usage: tavimor_startup_bench [RUNS]
#include "app/AppWindows.h"
#include "base/Clock.h"
#include "base/FixedPrompter.h"
#include "catalogue/ProgramContext.h"
#include "catalogue/RegistrySession.h"
#include "catalogue/TemplateLibrary.h"
#include "explorer/frmRegistryExplorer.h"
#include "gui/DeferredIconStyle.h"
#include "gui/Shell.h"
#include "registry/RegistryTarget.h"
#include "settings/SettingsStore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <ctime>

using namespace tavimor;

namespace {

void waitUntilExposed(QWidget& window) {
    while (!window.windowHandle() || !window.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Processor time of the whole process so far, in milliseconds: on a busy machine the figure that
// waiting for a processor does not swell.
double processorMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// One start, timed from the top of main(); prints the milliseconds elapsed and of processor time.
int child(int argc, char* argv[], const QByteArray& kind) {
    const double processorAtMain = processorMs();
    QElapsedTimer timer;
    timer.start();
    QApplication app(argc, argv);
    if (kind == "bare" || kind == "label") {
        QMainWindow window;
        if (kind == "label")
            window.setCentralWidget(new QLabel(QStringLiteral("Tavimor")));
        window.resize(793, 529);
        window.show();
        waitUntilExposed(window);
        std::printf("%.3f %.3f\n", double(timer.nsecsElapsed()) / 1e6, processorMs() - processorAtMain);
        return 0;
    }
    DeferredIconStyle::install();
    QString error;
    const std::unique_ptr<RegistryBackend> backend = openRegistryTarget(QString(), &error);
    if (!backend) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    FixedPrompter prompter(Answer::No);
    SilentErrorHandler errors;
    SettingsStore settings;
    ProgramContext context(*backend, prompter, settings, errors, QStringLiteral(TAVIMOR_PROGRAM_DIR));
    Main(context);
    DesktopShell shell;
    SystemClock clock;
    RegistrySession session(context, QString(), nullptr);
    // As the program starts: templates where some are configured, none here.
    TemplateLibrary templates(context, qEnvironmentVariable("TAVIMOR_TEMPLATES"));
    templates.load();
    AppWindows windows(context, session, shell, templates);
    frmRegistryExplorer window(context, QString(), windows, shell, clock);
    window.resize(793, 529);
    window.show();
    waitUntilExposed(window);
    std::printf("%.3f %.3f\n", double(timer.nsecsElapsed()) / 1e6, processorMs() - processorAtMain);
    return 0;
}

struct Figures {
    QList<double> inProcess;
    QList<double> processor;
    QList<double> wall;
};

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

// One fresh process of the kind; its figures go into `figures` unless that is null.
void measureOnce(const QString& program, const QString& kind, const QProcessEnvironment& environment,
                 Figures* figures) {
    QProcess process;
    process.setProcessEnvironment(environment);
    QElapsedTimer timer;
    timer.start();
    process.start(program, {QStringLiteral("--child"), kind});
    process.waitForFinished(60000);
    const double wall = double(timer.nsecsElapsed()) / 1e6;
    const QList<QByteArray> printed = process.readAllStandardOutput().trimmed().split(' ');
    bool ok = printed.size() == 2;
    const double inside = printed.value(0).toDouble(&ok);
    const double processor = ok ? printed.value(1).toDouble(&ok) : 0;
    if (!ok || process.exitCode() != 0) {
        std::fprintf(stderr, "%s run failed: %s\n", qPrintable(kind),
                     process.readAllStandardError().constData());
        return;
    }
    if (figures) {
        figures->inProcess.append(inside);
        figures->processor.append(processor);
        figures->wall.append(wall);
    }
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc == 3 && qstrcmp(argv[1], "--child") == 0)
        return child(argc, argv, argv[2]);

    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 15;
    // The user's own registry file and settings stay untouched.
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.remove(QStringLiteral("TAVIMOR_TARGET"));

    const QString self = QCoreApplication::applicationFilePath();
    std::printf("%-22s %12s %12s %12s %12s\n", "start to window shown", "median ms", "min ms", "processor ms",
                "wall median");
    struct Kind {
        QString child; // the child's argument
        const char* name;
    };
    const QList<Kind> kinds = {{QStringLiteral("bare"), "bare QMainWindow"},
                               {QStringLiteral("label"), "the same with a label"},
                               {QStringLiteral("explorer"), "Tavimor main window"}};
    // Round by round, so that a change in the machine's load falls on every kind alike. The first
    // round fills caches and creates the registry file; it is not counted.
    QList<Figures> figures(kinds.size());
    for (int run = -1; run < runs; ++run)
        for (qsizetype kind = 0; kind < kinds.size(); ++kind)
            measureOnce(self, kinds[kind].child, environment, run >= 0 ? &figures[kind] : nullptr);
    const double bare[2] = {median(figures[0].inProcess), median(figures[0].processor)};
    for (qsizetype kind = 0; kind < kinds.size(); ++kind) {
        const Figures& those = figures[kind];
        std::printf("%-22s %12.1f %12.1f %12.1f %12.1f\n", kinds[kind].name, median(those.inProcess),
                    those.inProcess.isEmpty()
                        ? 0.0
                        : *std::min_element(those.inProcess.begin(), those.inProcess.end()),
                    median(those.processor), median(those.wall));
        if (kind > 0 && bare[0] > 0 && bare[1] > 0)
            std::printf("%-22s %12.2f %12s %12.2f\n", "ratio to the bare one",
                        median(those.inProcess) / bare[0], "", median(those.processor) / bare[1]);
    }
    return 0;
}
