// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScriptedPrompter.h"

#include <QFileInfo>

namespace tavimor::test {

Answer ScriptedPrompter::message(const QString& text, const QString& title, MessageIcon icon,
                                 MessageButtons buttons) {
    m_messages.append({text, title, icon, buttons});
    if (onMessage)
        onMessage(text);
    if (!m_answers.isEmpty())
        return m_answers.dequeue();
    // An unscripted question is answered the safe way and counted, so a test can notice it.
    if (buttons != MessageButtons::Ok)
        ++m_unanswered;
    return buttons == MessageButtons::Ok ? Answer::Ok : Answer::Cancel;
}

QString ScriptedPrompter::openFileName(const FileDialogRequest& request) {
    m_dialogs.append({false, request});
    return nextFileName();
}

QString ScriptedPrompter::saveFileName(const FileDialogRequest& request) {
    m_dialogs.append({true, request});
    return nextFileName();
}

QString ScriptedPrompter::nextFileName() {
    // A file dialog gives a full path: a bare name lies in the folder it shows, the current one.
    const QString name = m_fileNames.isEmpty() ? QString() : m_fileNames.dequeue();
    return name.isEmpty() ? name : QFileInfo(name).absoluteFilePath();
}

QStringList ScriptedPrompter::messageTexts() const {
    QStringList texts;
    for (const Message& m : m_messages)
        texts.append(m.text);
    return texts;
}

void ScriptedPrompter::clear() {
    m_answers.clear();
    m_fileNames.clear();
    m_messages.clear();
    m_dialogs.clear();
    m_unanswered = 0;
}

} // namespace tavimor::test
