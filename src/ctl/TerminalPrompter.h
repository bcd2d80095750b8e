#pragma once

#include "base/Prompter.h"

class QTextStream;

namespace tavimor {

// The core's messages on the error stream as "Title: text". Nobody is there to answer, so every
// question is answered No (or Cancel) and file dialogs choose nothing.
class TerminalPrompter : public Prompter {
public:
    explicit TerminalPrompter(QTextStream& err)
        : m_err(err) {}

    Answer message(const QString& text, const QString& title, MessageIcon icon,
                   MessageButtons buttons) override;
    QString openFileName(const FileDialogRequest&) override { return QString(); }
    QString saveFileName(const FileDialogRequest&) override { return QString(); }

private:
    QTextStream& m_err;
};

} // namespace tavimor
