#pragma once

#include "catalogue/XmlDocument.h"

#include <QString>

namespace tavimor {

class ProgramContext;
class Shell;

// The HTML report of the machine catalogue, through the style sheet beside the program.
class HtmlReport {
public:
    HtmlReport(ProgramContext& context, Shell& shell);

    // address is "TAVIMOR" for the whole catalogue or a section address. dateText is what the
    // report prints as its date.
    void GenerateReport(const QString& address, const QString& dateText);
    // The name the user chose, or "" when cancelled or left at the suggested ".html".
    QString AskReportFileName();

    // The document the style sheet is given: the root (with its attributes) and the one section
    // the address selects, or the whole source root for "TAVIMOR".
    static XmlDocument reportDocument(const XmlDocument& source, const QString& address);
    QString styleSheetPath() const;

private:
    void showCritical(const QString& text);

    ProgramContext& m_context;
    Shell& m_shell;
};

} // namespace tavimor
