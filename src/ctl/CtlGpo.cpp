// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlGpo.h"

#include "base/FileUtil.h"
#include "catalogue/PolicyFiles.h"
#include "ctl/CtlEnvironment.h"
#include "ctl/CtlOptions.h"
#include "ctl/CtlOutput.h"
#include "ctl/CtlPolicy.h"
#include "grouppolicy/GpoDirectory.h"
#include "grouppolicy/GptIni.h"
#include "grouppolicy/PolicyFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonObject>

namespace tavimor {

namespace {

constexpr qint64 kMaxGptIniSize = 1024 * 1024;

// The entry of folder named name in any case; "" when there is none.
QString entryNamed(const QString& folder, const QString& name) {
    const QStringList all = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& entry : all)
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return folder + QLatin1Char('/') + entry;
    return QString();
}

QString versionText(quint32 number) {
    const GpoVersion version = GpoVersion::fromNumber(number);
    return QStringLiteral("%1 (user %2, machine %3)").arg(number).arg(version.user).arg(version.machine);
}

QJsonObject versionJson(quint32 number) {
    const GpoVersion version = GpoVersion::fromNumber(number);
    return {{QStringLiteral("number"), qint64(number)},
            {QStringLiteral("user"), version.user},
            {QStringLiteral("machine"), version.machine}};
}

} // namespace

CtlGpo::CtlGpo(ProgramContext& context, const CtlOptions& options, CtlOutput& output)
    : m_context(context)
    , m_options(options)
    , m_output(output) {
}

int CtlGpo::fail(const QString& text, int status) {
    return m_output.fail(text, status);
}

QString CtlGpo::findFolder(const QString& guid) const {
    // PATH may be the SYSVOL share, the domain's folder in it, or its Policies folder.
    const QString sysvol = QFileInfo(m_options.sysvol).absoluteFilePath();
    QStringList policies{sysvol};
    if (const QString direct = entryNamed(sysvol, QStringLiteral("Policies")); !direct.isEmpty())
        policies.append(direct);
    for (const QString& domain : QDir(sysvol).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (const QString below = entryNamed(sysvol + QLatin1Char('/') + domain, QStringLiteral("Policies"));
            !below.isEmpty())
            policies.append(below);
    for (const QString& folder : std::as_const(policies))
        if (const QString found = entryNamed(folder, guid); !found.isEmpty() && QFileInfo(found).isDir())
            return found;
    return QString();
}

int CtlGpo::run() {
    const QString verb = m_options.arguments.first();
    const bool isPush = verb == QLatin1String("push");
    if (!isPush && verb != QLatin1String("pull"))
        return fail(QStringLiteral("gpo takes push or pull, not \"%1\"").arg(verb), kExitUsage);
    if (m_options.gpo.isEmpty() || m_options.sysvol.isEmpty())
        return fail(QStringLiteral("gpo %1 needs --gpo NAME|GUID and --sysvol PATH").arg(verb), kExitUsage);
    if (isPush && m_options.arguments.size() > 1)
        return fail(QStringLiteral("gpo push takes no file; use --from FILE.rds"), kExitUsage);
    if (!QFileInfo(m_options.sysvol).isDir())
        return fail(QStringLiteral("%1 is not a folder").arg(m_options.sysvol), kExitFailure);

    QString guid = asGuid(m_options.gpo);
    const QString url =
        !m_options.url.isEmpty() ? m_options.url : GpoDirectory::urlBesideSysvol(m_options.sysvol);
    const GpoDirectory directory(url, QStringLiteral("gpo ") + verb);
    std::optional<GpoContainer> container;
    QString directoryProblem;
    if (url.isEmpty()) {
        directoryProblem =
            QStringLiteral("no directory was found beside %1 (give --url)").arg(m_options.sysvol);
    } else if (isPush || guid.isEmpty()) {
        // Files written without their directory entry would stay unseen by the clients.
        if (const QString missing = directory.missingTool(isPush); !missing.isEmpty())
            return fail(missing + QStringLiteral("; nothing was written"), kExitFailure);
        const std::optional<QList<GpoContainer>> found = directory.find(m_options.gpo, &directoryProblem);
        if (found && found->size() > 1)
            return fail(QStringLiteral("%1 GPOs are named \"%2\"; give the GUID")
                            .arg(found->size())
                            .arg(m_options.gpo),
                        kExitFailure);
        if (found && found->size() == 1) {
            container = found->first();
            guid = container->guid;
        } else if (found) {
            directoryProblem = QStringLiteral("the directory %1 has no GPO %2").arg(url, m_options.gpo);
        }
    }
    if (guid.isEmpty())
        return fail(QStringLiteral("GPO \"%1\" was not found: %2").arg(m_options.gpo, directoryProblem),
                    kExitFailure);
    const QString folder = findFolder(guid);
    if (folder.isEmpty())
        return fail(QStringLiteral("GPO %1 has no folder under %2").arg(guid, m_options.sysvol),
                    kExitFailure);
    if (!isPush)
        return pull(guid, folder);
    if (!container)
        m_output.report(QStringLiteral("the directory cannot be updated: ") + directoryProblem);
    return push(guid, folder, container ? &*container : nullptr, directory);
}

int CtlGpo::push(const QString& guid, const QString& folder, GpoContainer* container,
                 const GpoDirectory& directory) {
    const QString gptPath = entryNamed(folder, QStringLiteral("GPT.INI"));
    const std::optional<QByteArray> gptBytes =
        gptPath.isEmpty() ? std::nullopt : readWholeFile(gptPath, kMaxGptIniSize);
    if (!gptBytes)
        return fail(QStringLiteral("%1 has no readable GPT.INI; nothing was written").arg(folder),
                    kExitFailure);
    QString error;
    const std::optional<GptIni> gpt = GptIni::parse(*gptBytes, &error);
    if (!gpt)
        return fail(QStringLiteral("%1: %2; nothing was written").arg(gptPath, error), kExitFailure);

    CtlPolicy policy(m_context, m_options, m_output);
    const PolicyFolder files(folder);
    const std::optional<std::array<PolMerge, 2>> merges = policy.plan(files);
    if (!merges)
        return kExitFailure;
    std::array<bool, 2> changed{};
    if (!policy.write(files, *merges, false, &changed))
        return kExitFailure;

    GpoVersion version = GpoVersion::fromNumber(gpt->version());
    if (container)
        version = version.atLeast(GpoVersion::fromNumber(container->version));
    const bool anyChange = changed[polIndex(PolScope::User)] || changed[polIndex(PolScope::Machine)];
    version = version.raised(changed[polIndex(PolScope::User)], changed[polIndex(PolScope::Machine)]);
    const bool gptRaised = version.number() != gpt->version();
    if (gptRaised && !writeFileAtomically(gptPath, gpt->withVersion(version.number()), &error))
        return fail(QStringLiteral("cannot write %1: %2").arg(gptPath, error), kExitFailure);
    QJsonObject result = policy.jsonResult();
    result.insert(QStringLiteral("action"), QStringLiteral("push"));
    result.insert(QStringLiteral("gpo"), guid);
    result.insert(QStringLiteral("folder"), CtlPolicy::shownPath(folder));
    result.insert(QStringLiteral("gptVersion"),
                  QJsonObject{{QStringLiteral("before"), versionJson(gpt->version())},
                              {QStringLiteral("after"), versionJson(version.number())}});
    if (!m_output.json()) {
        if (gptRaised)
            m_output.out() << "GPT.INI version " << versionText(gpt->version()) << " -> "
                           << versionText(version.number()) << "." << Qt::endl;
        else
            m_output.out() << "GPT.INI version stays " << versionText(version.number()) << "." << Qt::endl;
    }
    result.insert(QStringLiteral("directoryVersion"), QJsonValue());
    if (container) {
        const quint32 before = container->version;
        container->version = version.number();
        if (!merges->at(polIndex(PolScope::User)).file.records.isEmpty())
            container->userExtensions = withRegistryExtension(container->userExtensions, false);
        if (!merges->at(polIndex(PolScope::Machine)).file.records.isEmpty())
            container->machineExtensions = withRegistryExtension(container->machineExtensions, true);
        if (anyChange || before != container->version) {
            if (!directory.update(*container, &error))
                return fail(QStringLiteral("the files were written, but the directory was not updated: %1")
                                .arg(error),
                            kExitFailure);
            if (!m_output.json())
                m_output.out() << "Directory version of " << container->displayName << " " << before << " -> "
                               << container->version << "." << Qt::endl;
        }
        result.insert(QStringLiteral("name"), container->displayName);
        result.insert(QStringLiteral("directoryVersion"),
                      QJsonObject{{QStringLiteral("before"), qint64(before)},
                                  {QStringLiteral("after"), qint64(container->version)}});
    }
    if (m_output.json())
        m_output.printJson(result);
    return kExitOk;
}

int CtlGpo::pull(const QString& guid, const QString& folder) {
    CtlPolicy policy(m_context, m_options, m_output);
    if (!policy.loadIntoWorking(PolicyFolder(folder), true))
        return kExitFailure;
    if (m_options.arguments.size() > 1 && !policy.saveWorking(m_options.arguments.at(1)))
        return kExitFailure;
    if (m_output.json()) {
        QJsonObject result = policy.jsonResult();
        result.insert(QStringLiteral("action"), QStringLiteral("pull"));
        result.insert(QStringLiteral("gpo"), guid);
        result.insert(QStringLiteral("folder"), CtlPolicy::shownPath(folder));
        m_output.printJson(result);
    }
    return kExitOk;
}

} // namespace tavimor
