// SPDX-License-Identifier: GPL-3.0-or-later
#include "HelpViewer.h"

#include "StartupPictures.h"
#include "catalogue/ProgramContext.h"
#include "gui/Twips.h"

#include <QApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPointer>
#include <QSplitter>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace tavimor {

HelpViewer::HelpViewer(const QString& programFolder, QWidget* parent)
    : QDialog(parent, Qt::Window)
    , m_book(programFolder) {
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(tr("%1 Help").arg(QLatin1String(kAppTitle)));
    setWindowIcon(startupIcon(QStringLiteral("tavimor32.png")));

    m_contents = new QListWidget(this);
    m_contents->setObjectName(QStringLiteral("lstContents"));
    for (const HelpBook::Topic& topic : m_book.contents()) {
        auto* item = new QListWidgetItem(topic.title, m_contents);
        item->setData(Qt::UserRole, QString(m_book.folder() + QLatin1Char('/') + topic.fileName));
    }
    m_page = new QTextBrowser(this);
    m_page->setObjectName(QStringLiteral("txtPage"));
    m_page->setSearchPaths({m_book.folder()});
    m_page->setOpenExternalLinks(true);

    auto button = [this](const char* name, const QString& text) {
        auto* b = new QToolButton(this);
        b->setObjectName(QLatin1String(name));
        b->setText(text);
        b->setEnabled(false);
        return b;
    };
    QToolButton* back = button("cmdBack", tr("< &Back"));
    QToolButton* forward = button("cmdForward", tr("&Forward >"));
    QToolButton* home = button("cmdContents", tr("&Contents"));
    home->setEnabled(true);
    connect(back, &QToolButton::clicked, m_page, &QTextBrowser::backward);
    connect(forward, &QToolButton::clicked, m_page, &QTextBrowser::forward);
    connect(home, &QToolButton::clicked, this, [this] { showTopic(QStringLiteral("index")); });
    connect(m_page, &QTextBrowser::backwardAvailable, back, &QToolButton::setEnabled);
    connect(m_page, &QTextBrowser::forwardAvailable, forward, &QToolButton::setEnabled);
    connect(m_page, &QTextBrowser::sourceChanged, this,
            [this](const QUrl& url) { selectInContents(url.toLocalFile()); });
    connect(m_contents, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { openPage(item->data(Qt::UserRole).toString()); });

    auto* tools = new QHBoxLayout;
    tools->addWidget(back);
    tools->addWidget(forward);
    tools->addWidget(home);
    tools->addStretch(1);
    auto* splitter = new QSplitter(this);
    splitter->addWidget(m_contents);
    splitter->addWidget(m_page);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({twipsToPixels(3300, this), twipsToPixels(8700, this)});
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(tools);
    layout->addWidget(splitter, 1);
    resize(twipsToPixels(12000, this), twipsToPixels(8000, this));
}

void HelpViewer::showTopic(const QString& topic) {
    openPage(m_book.pageFor(topic));
}

QString HelpViewer::currentPage() const {
    return m_page->source().toLocalFile();
}

void HelpViewer::openPage(const QString& path) {
    if (QFileInfo(path).absoluteFilePath() != QFileInfo(currentPage()).absoluteFilePath())
        m_page->setSource(QUrl::fromLocalFile(path));
}

void HelpViewer::selectInContents(const QString& path) {
    const QString wanted = QFileInfo(path).absoluteFilePath();
    for (int i = 0; i < m_contents->count(); ++i) {
        QListWidgetItem* item = m_contents->item(i);
        if (QFileInfo(item->data(Qt::UserRole).toString()).absoluteFilePath() == wanted) {
            m_contents->setCurrentItem(item);
            return;
        }
    }
    m_contents->clearSelection();
}

HelpViewer* HelpViewer::showHelp(const QString& programFolder, QWidget* from, const QString& topic) {
    static QPointer<HelpViewer> viewer;
    if (!viewer) {
        viewer = new HelpViewer(programFolder);
        viewer->setAttribute(Qt::WA_DeleteOnClose);
    }
    Q_UNUSED(from);
    // Asked from a modal dialog, help must take input while that dialog waits.
    QWidget* modal = QApplication::activeModalWidget();
    const bool needModal = modal && modal != viewer;
    if (viewer->isModal() != needModal) {
        viewer->hide();
        viewer->setWindowModality(needModal ? Qt::ApplicationModal : Qt::NonModal);
    }
    viewer->showTopic(topic);
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
    return viewer;
}

} // namespace tavimor
