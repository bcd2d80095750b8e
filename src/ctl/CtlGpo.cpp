// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlGpo.h"

#include "catalogue/PolicyFiles.h"
#include "ctl/CtlEnvironment.h"
#include "ctl/CtlOptions.h"
#include "ctl/CtlOutput.h"
#include "ctl/CtlPolicy.h"
#include "grouppolicy/GptIni.h"
#include "grouppolicy/GroupPolicyObject.h"
#include "grouppolicy/PolicyCommit.h"

#include <QJsonObject>

namespace tavimor {

namespace {

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

int CtlGpo::run() {
    const QString verb = m_options.arguments.first();
    const bool isPush = verb == QLatin1String("push");
    if (!isPush && verb != QLatin1String("pull"))
        return fail(QStringLiteral("gpo takes push or pull, not \"%1\"").arg(verb), kExitUsage);
    if (m_options.gpo.isEmpty() || m_options.sysvol.isEmpty())
        return fail(QStringLiteral("gpo %1 needs --gpo NAME|GUID and --sysvol PATH").arg(verb), kExitUsage);
    if (isPush && m_options.arguments.size() > 1)
        return fail(QStringLiteral("gpo push takes no file; use --from FILE.rds"), kExitUsage);
    QString error;
    std::optional<GroupPolicyObject> gpo = GroupPolicyObject::find(
        m_options.sysvol, m_options.gpo, m_options.url, isPush ? GpoAccess::Push : GpoAccess::Read,
        QStringLiteral("gpo ") + verb, &error);
    if (!gpo)
        return fail(error, kExitFailure);
    if (!isPush)
        return pull(*gpo);
    if (!gpo->hasDirectory())
        m_output.report(QStringLiteral("the directory cannot be updated: ") + gpo->directoryProblem());
    return push(*gpo);
}

int CtlGpo::push(GroupPolicyObject& gpo) {
    CtlPolicy policy(m_context, m_options, m_output);
    const PolicyFolder files = gpo.files();
    const std::optional<std::array<PolMerge, 2>> merges = policy.plan(files);
    if (!merges)
        return kExitFailure;
    std::optional<GroupPolicyObject::Published> published;
    const std::array<bool, 2> holdsRecords{!merges->at(0).file.records.isEmpty(),
                                           !merges->at(1).file.records.isEmpty()};
    const bool written = policy.write(
        files, *merges, false,
        [&](PolicyCommit& commit, QString* error) {
            published = gpo.publish(commit, holdsRecords, error);
            return published.has_value();
        },
        GptUpdate::Required);
    if (!written)
        return kExitFailure;
    QJsonObject result = policy.jsonResult();
    result.insert(QStringLiteral("action"), QStringLiteral("push"));
    result.insert(QStringLiteral("gpo"), gpo.guid());
    result.insert(QStringLiteral("folder"), CtlPolicy::shownPath(gpo.folder()));
    result.insert(QStringLiteral("gptVersion"),
                  QJsonObject{{QStringLiteral("before"), versionJson(published->gptBefore)},
                              {QStringLiteral("after"), versionJson(published->gptAfter)}});
    if (!m_output.json()) {
        if (published->gptAfter != published->gptBefore)
            m_output.out() << "GPT.INI version " << versionText(published->gptBefore) << " -> "
                           << versionText(published->gptAfter) << "." << Qt::endl;
        else
            m_output.out() << "GPT.INI version stays " << versionText(published->gptAfter) << "." << Qt::endl;
    }
    result.insert(QStringLiteral("directoryVersion"), QJsonValue());
    if (published->directoryBefore) {
        const quint32 before = *published->directoryBefore;
        const quint32 after = *published->directoryAfter;
        if (!m_output.json() && (before != after || policy.wroteAny()))
            m_output.out() << "Directory version of " << gpo.name() << " " << before << " -> " << after << "."
                           << Qt::endl;
        result.insert(QStringLiteral("name"), gpo.name());
        result.insert(QStringLiteral("directoryVersion"),
                      QJsonObject{{QStringLiteral("before"), qint64(before)},
                                  {QStringLiteral("after"), qint64(after)}});
    }
    if (m_output.json())
        m_output.printJson(result);
    return kExitOk;
}

int CtlGpo::pull(const GroupPolicyObject& gpo) {
    CtlPolicy policy(m_context, m_options, m_output);
    if (!policy.loadIntoWorking(gpo.files(), true))
        return kExitFailure;
    if (m_options.arguments.size() > 1 && !policy.saveWorking(m_options.arguments.at(1)))
        return kExitFailure;
    if (m_output.json()) {
        QJsonObject result = policy.jsonResult();
        result.insert(QStringLiteral("action"), QStringLiteral("pull"));
        result.insert(QStringLiteral("gpo"), gpo.guid());
        result.insert(QStringLiteral("folder"), CtlPolicy::shownPath(gpo.folder()));
        m_output.printJson(result);
    }
    return kExitOk;
}

} // namespace tavimor
