// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "HelpBook.h"

#include <QDialog>

class QListWidget;
class QTextBrowser;

namespace tavimor {

// The program's help window: the contents on the left, the page on the right, back and forward.
class HelpViewer : public QDialog {
    Q_OBJECT
public:
    explicit HelpViewer(const QString& programFolder, QWidget* parent = nullptr);

    void showTopic(const QString& topic);
    QString currentPage() const;

    // The one help window of the program, opened at the topic and brought to the front.
    static HelpViewer* showHelp(const QString& programFolder, QWidget* from, const QString& topic);

private:
    void openPage(const QString& path);
    void selectInContents(const QString& path);

    HelpBook m_book;
    QListWidget* m_contents = nullptr;
    QTextBrowser* m_page = nullptr;
};

} // namespace tavimor
