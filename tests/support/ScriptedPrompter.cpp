#include "ScriptedPrompter.h"

namespace tavimor::test {

Answer ScriptedPrompter::message(const QString& text, const QString& title, MessageIcon icon,
                                 MessageButtons buttons) {
    m_messages.append({text, title, icon, buttons});
    if (!m_answers.isEmpty())
        return m_answers.dequeue();
    // An unscripted question is answered the safe way and counted, so a test can notice it.
    if (buttons != MessageButtons::Ok)
        ++m_unanswered;
    return buttons == MessageButtons::Ok ? Answer::Ok : Answer::Cancel;
}

QString ScriptedPrompter::openFileName(const FileDialogRequest& request) {
    m_dialogs.append({false, request});
    return m_fileNames.isEmpty() ? QString() : m_fileNames.dequeue();
}

QString ScriptedPrompter::saveFileName(const FileDialogRequest& request) {
    m_dialogs.append({true, request});
    return m_fileNames.isEmpty() ? QString() : m_fileNames.dequeue();
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
