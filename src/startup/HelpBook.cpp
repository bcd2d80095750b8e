// SPDX-License-Identifier: GPL-3.0-or-later
#include "HelpBook.h"

#include "base/FileUtil.h"

#include <QCoreApplication>
#include <QHash>
#include <QRegularExpression>
#include <QWidget>

namespace tavimor {

HelpBook::HelpBook(const QString& programFolder)
    : m_folder(programFolder + QStringLiteral("/help")) {
}

QString HelpBook::fileNameFor(const QString& topic) {
    QString name;
    for (const QChar c : topic.trimmed().toLower()) {
        if (c.isLetterOrNumber())
            name += c;
        else if (!name.isEmpty() && !name.endsWith(QLatin1Char('-')))
            name += QLatin1Char('-');
    }
    while (name.endsWith(QLatin1Char('-')))
        name.chop(1);
    return (name.isEmpty() ? QStringLiteral("index") : name) + QStringLiteral(".html");
}

QString HelpBook::pageFor(const QString& topic) const {
    const QString page = m_folder + QLatin1Char('/') + fileNameFor(topic);
    return fileExists(page) ? page : m_folder + QStringLiteral("/index.html");
}

QList<HelpBook::Topic> HelpBook::contents() const {
    const std::optional<QByteArray> index = readWholeFile(m_folder + QStringLiteral("/index.html"), 1 << 20);
    QList<Topic> topics{{QCoreApplication::translate("HelpBook", "Contents"), QStringLiteral("index.html")}};
    if (!index)
        return topics;
    static const QRegularExpression link(QStringLiteral("<a href=\"([a-z0-9-]+\\.html)\">([^<]+)</a>"));
    for (const auto& match : link.globalMatch(QString::fromUtf8(*index))) {
        if (match.captured(1) != topics.first().fileName)
            topics.append({match.captured(2), match.captured(1)});
    }
    return topics;
}

QString HelpBook::topicOf(const QWidget* window) {
    static const QHash<QString, QString> byName{
        {QStringLiteral("frmRegistryExplorer"), QStringLiteral("main")},
        {QStringLiteral("frmEditSettings"), QStringLiteral("edit")},
        {QStringLiteral("frmDrives"), QStringLiteral("drives")},
        {QStringLiteral("frmRestart"), QStringLiteral("restart")},
        {QStringLiteral("frmLogin"), QStringLiteral("password")},
        {QStringLiteral("frmSplash"), QStringLiteral("startup")},
        {QStringLiteral("frmOSConfirm"), QStringLiteral("startup")},
        {QStringLiteral("frmErrorHandler"), QStringLiteral("error")},
        {QStringLiteral("frmAbout"), QStringLiteral("about")},
        {QStringLiteral("frmEditPolicy"), QStringLiteral("templates")},
        {QStringLiteral("frmTemplateFolders"), QStringLiteral("templates")},
    };
    for (const QWidget* w = window; w; w = w->parentWidget()) {
        const QString topic = w->property("helpTopic").toString();
        if (!topic.isEmpty())
            return topic;
        const auto it = byName.constFind(w->objectName());
        if (it != byName.cend())
            return *it;
    }
    return QStringLiteral("index");
}

} // namespace tavimor
