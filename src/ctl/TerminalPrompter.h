// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Prompter.h"

namespace tavimor {

class CtlOutput;

// The core's messages on the error stream as "Title: text". Nobody is there to answer, so every
// question is answered No (or Cancel) and file dialogs choose nothing.
class TerminalPrompter : public Prompter {
public:
    explicit TerminalPrompter(CtlOutput& output)
        : m_output(output) {}

    Answer message(const QString& text, const QString& title, MessageIcon icon,
                   MessageButtons buttons) override;
    QString openFileName(const FileDialogRequest&) override { return QString(); }
    QString saveFileName(const FileDialogRequest&) override { return QString(); }

private:
    CtlOutput& m_output;
};

} // namespace tavimor
