// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

class QWidget;

namespace tavimor {

// The help pages laid out beside the program as help/*.html. The help file the program names,
// help\Tavimor4.chm, is kept for the record only; these pages stand in for it.
class HelpBook {
public:
    struct Topic {
        QString title;
        QString fileName; // "main.html"
    };

    explicit HelpBook(const QString& programFolder);

    QString folder() const { return m_folder; }
    // The page of a topic ("main", or a section name such as "Start Menu"); the index page when
    // the book has none for it.
    QString pageFor(const QString& topic) const;
    // The pages listed by the index page, in its order.
    QList<Topic> contents() const;

    // "Start Menu" -> "start-menu.html"
    static QString fileNameFor(const QString& topic);
    // The topic of a window: its "helpTopic" property, else the one its name gives, else its owner's.
    static QString topicOf(const QWidget* window);

private:
    QString m_folder;
};

} // namespace tavimor
