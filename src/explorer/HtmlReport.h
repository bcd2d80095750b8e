// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QString>

namespace tavimor {

class ProgramContext;
class Shell;

// The HTML report of the machine catalogue, through the style sheet beside the program.
class HtmlReport {
    Q_DECLARE_TR_FUNCTIONS(HtmlReport)

public:
    HtmlReport(ProgramContext& context, Shell& shell);

    // address is "TAVIMOR" for the whole catalogue or a section address. dateText is what the
    // report prints as its date.
    void GenerateReport(const QString& address, const QString& dateText);
    // The name the user chose, or "" when cancelled or left at the suggested ".html".
    QString AskReportFileName();

private:
    void showCritical(const QString& text);

    ProgramContext& m_context;
    Shell& m_shell;
};

} // namespace tavimor
