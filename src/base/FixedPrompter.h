// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/ErrorHandler.h"
#include "base/Prompter.h"

namespace tavimor {

// Answers every question the same way and cancels every file dialog, showing nothing;
// for runs with nobody to ask, such as benchmarks and fuzzing.
class FixedPrompter : public Prompter {
public:
    explicit FixedPrompter(Answer answer)
        : m_answer(answer) {}
    Answer message(const QString&, const QString&, MessageIcon, MessageButtons buttons) override {
        return buttons == MessageButtons::Ok ? Answer::Ok : m_answer;
    }
    QString openFileName(const FileDialogRequest&) override { return {}; }
    QString saveFileName(const FileDialogRequest&) override { return {}; }

private:
    Answer m_answer;
};

// Drops every error report.
class SilentErrorHandler : public ErrorHandler {
public:
    void HandleError(qint32, const QString&, const QString&) override {}
};

} // namespace tavimor
