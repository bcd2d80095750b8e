// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace tavimor {

enum class MessageIcon { None, Critical, Question, Exclamation, Information };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Answer { Ok, Cancel, Yes, No };

// A file dialog as the program sets it up; the dialog's look is the implementation's.
struct FileDialogRequest {
    QString title;
    QString fileName;    // suggested name
    QString defaultExt;  // e.g. ".rds"
    QString filter;      // "Description|pattern|Description|pattern"
    quint32 flags = 0;   // 2 overwrite-prompt, 2048 path-must-exist, 4096 file-must-exist
    bool folder = false; // an existing folder is chosen, not a file
};

// Every message box and file dialog of the program goes through this interface, so that
// tests can answer them and check the exact texts.
class Prompter {
public:
    virtual ~Prompter() = default;

    virtual Answer message(const QString& text, const QString& title, MessageIcon icon,
                           MessageButtons buttons) = 0;
    // The chosen name, or "" when the user cancelled.
    virtual QString openFileName(const FileDialogRequest& request) = 0;
    virtual QString saveFileName(const FileDialogRequest& request) = 0;
};

} // namespace tavimor
