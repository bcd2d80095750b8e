// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/TemplateEdit.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QStringList>
#include <utility>

namespace tavimor {

class CtlOutput;
class ProgramContext;
struct CtlOptions;
struct PolicyInstance;
struct PolicySetting;

// The commands on the loaded templates' policies, which users meet beside the catalogue's entries:
// set ENTRY Enabled [ELEMENT=VALUE ...] / Disabled, unset, show, and their rows in list and search.
class CtlTemplates {
public:
    CtlTemplates(ProgramContext& context, const CtlOptions& options, CtlOutput& output);

    // The policy a name gives ("machine/firefox:X", or "firefox:X" for a policy of one class);
    // nullptr with *error (one line) when no policy, or more than one, has it.
    static const PolicyInstance* find(const ProgramContext& context, const QString& given, QString* error);

    int set(const PolicyInstance& policy);
    // Makes the policies not configured, in one batch. all: unset --all, which names no policy that
    // was not set; changes, when given, receives the JSON lines instead of printing them.
    int unset(const QList<const PolicyInstance*>& policies, bool all, QJsonArray* changes);
    // The policies set in the registry now (the machine catalogue's).
    static QList<const PolicyInstance*> configured(const ProgramContext& context);
    int show(const PolicyInstance& policy);

    // A category path ("Mozilla/Firefox/Home page") with its policies, as list shows the templates.
    struct Category {
        QString path;
        QList<const PolicyInstance*> policies;
    };
    static QList<Category> categories(const ProgramContext& context);
    // The policies whose name, text, category or value names hold every word, any case.
    static QList<const PolicyInstance*> matching(const ProgramContext& context, const QStringList& words);
    // "Enabled", "Not configured", ... in the working catalogue and on the machine.
    static QString workingState(const ProgramContext& context, const PolicyInstance& policy);
    static QString machineState(const ProgramContext& context, const PolicyInstance& policy);
    // A policy as --json gives it everywhere: class, hive, key, value name, states, each element
    // with its kind, id, type and values, the explain and supported-on texts.
    static QJsonObject json(const ProgramContext& context, const PolicyInstance& policy);

private:
    // Writes the settings now in one batch, reads every change back, keeps them in the working
    // catalogue and refreshes the machine catalogue.
    int write(const PolicySettings& settings, QString* why);

    ProgramContext& m_context;
    const CtlOptions& m_options;
    CtlOutput& m_output;
};

} // namespace tavimor
