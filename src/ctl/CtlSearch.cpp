// SPDX-License-Identifier: GPL-3.0-or-later
#include "CtlSearch.h"

#include "catalogue/CatalogueEntry.h"
#include "catalogue/ProgramContext.h"
#include "catalogue/RegistrySync.h"
#include "catalogue/UnreadTally.h"
#include "ctl/CtlOptions.h"
#include "ctl/CtlOutput.h"
#include "ctl/CtlTemplates.h"
#include "templates/TemplateSet.h"

#include <QJsonArray>

namespace tavimor {

CtlSearch::CtlSearch(ProgramContext& context, const CtlOptions& options, CtlOutput& output)
    : m_context(context)
    , m_options(options)
    , m_output(output) {
}

QStringList CtlSearch::matchingEntries(const ProgramContext& context, const QStringList& words) {
    QStringList found;
    forEachEntry(context.workingCatalogue, [&](const CatalogueEntry& entry, int s, int e) {
        if (words.isEmpty()) {
            found.append(entryAddress(s, e));
            return;
        }
        const QString haystack =
            QStringList{entry.text("NAME"), entry.text("DESCRIPTION"), entry.section(), entry.text("REGNAME")}
                .join(QLatin1Char('\n'));
        const bool all = std::all_of(words.begin(), words.end(), [&](const QString& word) {
            return haystack.contains(word.trimmed(), Qt::CaseInsensitive);
        });
        if (all)
            found.append(entryAddress(s, e));
    });
    return found;
}

int CtlSearch::printEntries(const QStringList& addresses, const QList<const PolicyInstance*>& policies) {
    struct Row {
        QString address;
        QString title;
        QString working;
        QString machine;
        bool restart = false;
    };
    QList<Row> rows;
    UnreadTally unread;
    for (const QString& address : addresses) {
        const CatalogueEntry working(m_context.workingCatalogue.selectSingleNode(address));
        const CatalogueEntry machine(m_context.machineCatalogue.selectSingleNode(address));
        rows.append({address, working.section() + QLatin1Char('/') + working.text("NAME"),
                     entryStateText(working), entryStateText(machine), working.needsRestart()});
        unread.addEntry(machine.unreadReason() ? machine : working);
    }
    for (const PolicyInstance* policy : policies)
        rows.append({policy->name(), policy->name(), CtlTemplates::workingState(m_context, *policy),
                     CtlTemplates::machineState(m_context, *policy), false});
    if (m_output.json()) {
        QJsonArray entries;
        for (const Row& row : rows.first(addresses.size()))
            entries.append(jsonEntryState(m_context, row.address));
        for (const PolicyInstance* policy : policies)
            entries.append(CtlTemplates::json(m_context, *policy));
        m_output.printJson({{QStringLiteral("entries"), entries}});
        return m_output.reportUnread(unread, kExitOk);
    }
    qsizetype widths[3] = {5, 16, 24};
    for (const Row& row : rows) {
        widths[0] = std::max(widths[0], row.title.size());
        widths[1] = std::max(widths[1], row.working.size());
        widths[2] = std::max(widths[2], row.machine.size());
    }
    const auto line = [&](const QString& a, const QString& b, const QString& c, bool restart) {
        QString text = a.leftJustified(widths[0] + 2) + b.leftJustified(widths[1] + 2) +
                       (restart ? c.leftJustified(widths[2] + 2) + QLatin1Char('*') : c);
        // One write at the end, not one per row.
        m_output.out() << text << '\n';
    };
    line(QStringLiteral("Entry"), QStringLiteral("Tavimor Settings"),
         QStringLiteral("Current Machine Settings"), false);
    for (const Row& row : rows)
        line(row.title, row.working, row.machine, row.restart);
    return m_output.reportUnread(unread, kExitOk);
}

int CtlSearch::search() {
    const QStringList found = matchingEntries(m_context, m_options.arguments);
    const QList<const PolicyInstance*> policies = CtlTemplates::matching(m_context, m_options.arguments);
    if (found.isEmpty() && policies.isEmpty())
        return m_output.fail(
            QStringLiteral("no entry matches \"%1\"").arg(m_options.arguments.join(QLatin1Char(' '))),
            kExitFailure);
    return printEntries(found, policies);
}

int CtlSearch::listAll() {
    return printEntries(matchingEntries(m_context, {}), CtlTemplates::matching(m_context, {}));
}

} // namespace tavimor
