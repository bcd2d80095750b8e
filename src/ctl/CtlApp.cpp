// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlApp.h"

#include "TavimorVersion.h"
#include "base/ProgramPaths.h"
#include "catalogue/CatalogueFiles.h"
#include "catalogue/Password.h"
#include "catalogue/ProgramContext.h"
#include "catalogue/RegistrySync.h"
#include "catalogue/TemplateSources.h"
#include "catalogue/TemplateStates.h"
#include "ctl/CtlCommands.h"
#include "ctl/CtlEnvironment.h"
#include "ctl/CtlErrorHandler.h"
#include "ctl/CtlFiles.h"
#include "ctl/CtlGpo.h"
#include "ctl/CtlLookup.h"
#include "ctl/CtlOptions.h"
#include "ctl/CtlOutput.h"
#include "ctl/CtlPolicy.h"
#include "ctl/CtlRegFiles.h"
#include "ctl/CtlSearch.h"
#include "ctl/CtlTemplates.h"
#include "ctl/TerminalPrompter.h"
#include "grouppolicy/TargetFactory.h"
#include "registry/MemoryBackend.h"
#include "settings/SettingsStore.h"
#include "templates/TemplateFolders.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonObject>

namespace tavimor {

namespace {
QString absolute(const QString& path) {
    return path.isEmpty() ? path : QFileInfo(path).absoluteFilePath();
}
} // namespace

int CtlApp::run(const QStringList& args) {
    QString error;
    const std::optional<CtlOptions> options = CtlOptions::parse(args, &error);
    if (!options) {
        // The command line did not parse, but a script that asked for JSON still gets it.
        QString command;
        for (const QString& arg : args)
            if (command.isEmpty() && CtlOptions::isCommand(arg))
                command = arg;
        CtlOutput output(m_env, command, args.contains(QLatin1String("--json")));
        return output.finish(output.usageError(error));
    }
    CtlOutput output(m_env, options->version ? QStringLiteral("version") : options->command, options->json);
    int status = kExitOk;
    if (options->help) {
        m_env.out << CtlOptions::usage(options->command);
    } else if (options->version) {
        if (options->json)
            output.printJson(QJsonObject{{QStringLiteral("version"), QStringLiteral(TAVIMOR_VERSION)}});
        else
            m_env.out << "tavimorctl " TAVIMOR_VERSION << Qt::endl;
    } else {
        status = runParsed(*options, output);
    }
    m_env.out.flush();
    // Output that went nowhere (a full disk, a closed pipe) is a failure like any other.
    if (m_env.out.status() != QTextStream::Ok) {
        const QString why = m_env.out.device() ? m_env.out.device()->errorString() : QString();
        status = output.fail(QStringLiteral("the output could not be written: %1").arg(why), kExitFailure);
    }
    return output.finish(status);
}

QString CtlApp::environment(const char* name) const {
    return m_env.environment ? m_env.environment(QLatin1String(name)) : QString();
}

int CtlApp::runParsed(const CtlOptions& options, CtlOutput& output) {
    const int failed = CtlOptions::failureStatus(options.command);
    SettingsStore settings(
        absolute(!options.settingsFolder.isEmpty() ? options.settingsFolder : m_env.settingsFolder));
    TerminalPrompter prompter(output);
    CtlErrorHandler errors(output);
    // Before the target is opened: a wrong password creates no registry file.
    if (const int refused = checkPassword(settings, errors, options, output))
        return refused;

    const QString target = options.target.isEmpty() ? environment("TAVIMOR_TARGET") : options.target;
    QString error;
    // A command that needs no registry opens none: a Wine prefix's or a hive's costs nothing then.
    // The empty memory registry only stands in; nothing of such a command reads it.
    const std::unique_ptr<RegistryBackend> backend =
        !options.needsRegistry()
            ? std::make_unique<MemoryBackend>()
            : openTarget(target, &error,
                         options.writesTarget() ? TargetUse::MayCreate : TargetUse::MustExist);
    if (!backend)
        return output.fail(error, failed);
    QString programFolder = !options.programFolder.isEmpty() ? options.programFolder : m_env.programFolder;
    if (programFolder.isEmpty())
        programFolder = programFolderFor(QCoreApplication::applicationDirPath());
    ProgramContext context(*backend, prompter, settings, errors, absolute(programFolder));
    Main(context);

    // Templates only where some are configured and a catalogue is loaded: without them nothing of
    // the run changes, and a command that opens no registry reads none.
    TemplateSet templates;
    QStringList folders;
    if (options.needsRegistry())
        folders = templateFoldersFor(target, environment("TAVIMOR_TEMPLATES"), settings, options.templates);
    // A domain's templates are its central store's, for gpo push and pull as for a "gpo:" target.
    if (options.command == QLatin1String("gpo"))
        folders = withCentralStores(folders, options.sysvol);
    if (!folders.isEmpty()) {
        templates = TemplateFolders::load(folders, TemplateFolders::systemLanguage());
        for (const TemplateProblem& problem : templates.problems())
            output.report(QStringLiteral("%1: %2").arg(problem.path, problem.reason));
        context.templates = &templates;
    }

    if (options.needsRegistry()) {
        CatalogueView view;
        CatalogueFiles files(context, view);
        files.setStartupRefresh(QString());
        files.Startup(absolute(options.file));
        if (context.workingCatalogue.documentElement().isNull())
            return output.fail(QStringLiteral("no catalogue could be loaded"), failed);
        // One refresh, of what the command shows; the machine column always shows the registry,
        // also for a file from the command line.
        if (const PolicyInstance* policy = onePolicy(options, context))
            TemplateStates::refresh(context, {policy});
        else if (const QString scope = refreshScope(options, context.workingCatalogue); !scope.isEmpty())
            RefreshCurrentValues(context, scope);
        if (files.defaultFileLoaded())
            context.workingCatalogue.copyFrom(context.machineCatalogue);
    }
    const int status = dispatch(context, options, output);
    return status == kExitOk && errors.reported() ? failed : status;
}

QString CtlApp::refreshScope(const CtlOptions& options, const XmlDocument& catalogue) {
    const QString& command = options.command;
    // apply reads the entries of its own file as it plans.
    if (command == QLatin1String("apply"))
        return QString();
    const CtlLookup lookup(catalogue);
    const QString first = options.arguments.value(0);
    if (command == QLatin1String("list") && !options.all && !first.isEmpty()) {
        if (const std::optional<QString> section = lookup.section(first))
            return *section + QStringLiteral("/ENTRY");
    }
    const bool oneEntry = command == QLatin1String("set") || command == QLatin1String("show") ||
                          (command == QLatin1String("unset") && !options.all);
    QString ignored;
    if (const std::optional<QString> entry = oneEntry ? lookup.entry(first, &ignored) : std::nullopt)
        return *entry;
    return QLatin1String(kAllEntries);
}

const PolicyInstance* CtlApp::onePolicy(const CtlOptions& options, const ProgramContext& context) {
    const QString& command = options.command;
    const bool one = command == QLatin1String("set") || command == QLatin1String("show") ||
                     (command == QLatin1String("unset") && !options.all);
    const QString first = options.arguments.value(0);
    // An entry of that name comes first, as the commands look.
    QString ignored;
    if (!one || !context.templates || CtlLookup(context.workingCatalogue).entry(first, &ignored))
        return nullptr;
    return CtlTemplates::find(context, first, nullptr);
}

int CtlApp::checkPassword(const SettingsStore& settings, ErrorHandler& errors, const CtlOptions& options,
                          CtlOutput& output) {
    // An unreadable store or a damaged password has been reported; without the password nothing may run.
    const std::optional<QString> stored = MyPwdRead(settings, errors);
    if (!stored)
        return kExitFailure;
    if (stored->isEmpty())
        return kExitOk;
    std::optional<QString> entered;
    if (!options.passwordFile.isEmpty()) {
        QString why;
        entered = CtlCommands::readPasswordFile(options.passwordFile, &why);
        if (!entered)
            return output.fail(QStringLiteral("cannot read %1: %2").arg(options.passwordFile, why),
                               kExitPassword);
    } else if (const QString fromEnvironment = environment("TAVIMOR_PASSWORD"); !fromEnvironment.isEmpty()) {
        entered = fromEnvironment;
    } else if (m_env.stdinIsTerminal && m_env.readPassword) {
        entered = m_env.readPassword(QStringLiteral("Password: "));
    }
    if (!entered)
        return output.fail(QStringLiteral("a password is needed (use --password-file or TAVIMOR_PASSWORD)"),
                           kExitPassword);
    if (!passwordMatches(trimTrailingSpaces(*entered), *stored))
        return output.fail(QStringLiteral("wrong password"), kExitPassword);
    return kExitOk;
}

int CtlApp::dispatch(ProgramContext& context, const CtlOptions& options, CtlOutput& output) {
    CtlCommands commands(context, options, m_env, output);
    CtlFiles files(context, options, m_env, output);
    CtlRegFiles regFiles(context, options, m_env, output);
    CtlSearch search(context, options, output);
    const QString& command = options.command;
    const bool writes = command == QLatin1String("set") || command == QLatin1String("apply") ||
                        command == QLatin1String("unset") || command == QLatin1String("import-reg") ||
                        (command == QLatin1String("drives") && !options.arguments.isEmpty());
    if (const QString refusal = context.registry.backend().writeRefusal(); writes && !refusal.isEmpty()) {
        m_env.err << "tavimorctl: " << refusal << Qt::endl;
        return kExitFailure;
    }
    if (command == QLatin1String("list"))
        return options.all ? search.listAll() : commands.list();
    if (command == QLatin1String("search"))
        return search.search();
    if (command == QLatin1String("export-reg"))
        return regFiles.exportReg();
    if (command == QLatin1String("import-reg"))
        return regFiles.importReg();
    if (command == QLatin1String("report"))
        return regFiles.report();
    if (command == QLatin1String("show"))
        return commands.show();
    if (command == QLatin1String("set"))
        return commands.set();
    if (command == QLatin1String("unset"))
        return commands.unset();
    if (command == QLatin1String("drives"))
        return commands.drives();
    if (command == QLatin1String("password"))
        return commands.password();
    if (command == QLatin1String("apply"))
        return files.apply();
    if (command == QLatin1String("diff"))
        return files.diff();
    if (command == QLatin1String("save"))
        return files.save();
    if (command == QLatin1String("export-xml"))
        return files.exportXml();
    if (command == QLatin1String("import-xml"))
        return files.importXml();
    if (command == QLatin1String("export-pol"))
        return CtlPolicy(context, options, output).exportPol();
    if (command == QLatin1String("import-pol"))
        return CtlPolicy(context, options, output).importPol();
    if (command == QLatin1String("gpo"))
        return CtlGpo(context, options, output).run();
    return kExitUsage;
}

} // namespace tavimor
