// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Prompter.h"

#include <QList>
#include <QQueue>
#include <QStringList>
#include <functional>

namespace tavimor::test {

// Answers message boxes and file dialogs from a script and records every request, so tests
// can check the exact texts asked.
class ScriptedPrompter : public Prompter {
public:
    struct Message {
        QString text;
        QString title;
        MessageIcon icon;
        MessageButtons buttons;
    };
    struct Dialog {
        bool save;
        FileDialogRequest request;
    };

    void queueAnswer(Answer answer) { m_answers.enqueue(answer); }
    void queueFileName(const QString& name) { m_fileNames.enqueue(name); }

    Answer message(const QString& text, const QString& title, MessageIcon icon,
                   MessageButtons buttons) override;
    QString openFileName(const FileDialogRequest& request) override;
    QString saveFileName(const FileDialogRequest& request) override;

    const QList<Message>& messages() const { return m_messages; }
    QStringList messageTexts() const;
    const QList<Dialog>& dialogs() const { return m_dialogs; }
    int unansweredQuestions() const { return m_unanswered; }
    void clear();
    // Called with each message's text while it is "on screen", to look at the world then.
    std::function<void(const QString&)> onMessage;

private:
    QString nextFileName();

    QQueue<Answer> m_answers;
    QQueue<QString> m_fileNames;
    QList<Message> m_messages;
    QList<Dialog> m_dialogs;
    int m_unanswered = 0;
};

} // namespace tavimor::test
