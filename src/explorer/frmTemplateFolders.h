// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QListWidget;

namespace tavimor {

class Prompter;
class TemplateLibrary;

// The folders Administrative Templates are loaded from, as the program settings keep them: added
// by browsing, removed, saved with OK, which loads the templates again. The folders of
// TAVIMOR_TEMPLATES are shown beside them; the variable is not the dialog's to change.
class frmTemplateFolders : public QDialog {
    Q_OBJECT
public:
    frmTemplateFolders(Prompter& prompter, TemplateLibrary& library, const QString& title,
                       QWidget* parent = nullptr);

    QStringList folders() const;
    // false when the saved folders could not be read (the user has been told).
    bool ready() const { return m_ready; }
    void addFolder();
    void removeFolder();
    void cmdOK_Click();

private:
    Prompter& m_prompter;
    TemplateLibrary& m_library;
    QString m_title;
    QListWidget* m_list = nullptr;
    bool m_ready = false;
};

} // namespace tavimor
