// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Prompter.h"

#include <QFileInfo>
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
        bool operator==(const Message&) const = default;
    };
    struct Dialog {
        bool save;
        FileDialogRequest request;
    };

    void queueAnswer(Answer answer) { m_answers.enqueue(answer); }
    void queueFileName(const QString& name) { m_fileNames.enqueue(name); }

    Answer message(const QString& text, const QString& title, MessageIcon icon,
                   MessageButtons buttons) override {
        m_messages.append({text, title, icon, buttons});
        if (onMessage)
            onMessage(text);
        // An unscripted question is answered the safe way.
        if (!m_answers.isEmpty())
            return m_answers.dequeue();
        return buttons == MessageButtons::Ok ? Answer::Ok : Answer::Cancel;
    }
    QString openFileName(const FileDialogRequest& request) override { return nextFileName(false, request); }
    QString saveFileName(const FileDialogRequest& request) override { return nextFileName(true, request); }

    const QList<Message>& messages() const { return m_messages; }
    QStringList messageTexts() const {
        QStringList texts;
        for (const Message& m : m_messages)
            texts.append(m.text);
        return texts;
    }
    const QList<Dialog>& dialogs() const { return m_dialogs; }
    void clear() {
        m_answers.clear();
        m_fileNames.clear();
        m_messages.clear();
        m_dialogs.clear();
    }
    // Called with each message's text while it is "on screen", to look at the world then.
    std::function<void(const QString&)> onMessage;

private:
    QString nextFileName(bool save, const FileDialogRequest& request) {
        m_dialogs.append({save, request});
        // A file dialog gives a full path: a bare name lies in the folder it shows, the current one.
        const QString name = m_fileNames.isEmpty() ? QString() : m_fileNames.dequeue();
        return name.isEmpty() ? name : QFileInfo(name).absoluteFilePath();
    }

    QQueue<Answer> m_answers;
    QQueue<QString> m_fileNames;
    QList<Message> m_messages;
    QList<Dialog> m_dialogs;
};

} // namespace tavimor::test
