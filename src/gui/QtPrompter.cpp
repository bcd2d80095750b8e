// SPDX-License-Identifier: GPL-3.0-or-later
#include "QtPrompter.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>

namespace tavimor {

PathCheckedFileDialog::PathCheckedFileDialog(QWidget* owner, const FileDialogRequest& request, bool save,
                                             Refuse refuse)
    : QFileDialog(owner, request.title, QString(), QtPrompter::qtFilter(request.filter))
    , m_pathMustExist(request.flags & 2048)
    , m_refuse(std::move(refuse)) {
    // The check has to run before the dialog closes, which only Qt's own dialog lets us do.
    if (m_pathMustExist)
        setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // 4096 file-must-exist (open), 2 overwrite-prompt (save).
    setFileMode(request.folder                    ? QFileDialog::Directory
                : !save && (request.flags & 4096) ? QFileDialog::ExistingFile
                                                  : QFileDialog::AnyFile);
    setOption(QFileDialog::ShowDirsOnly, request.folder);
    if (save)
        setOption(QFileDialog::DontConfirmOverwrite, !(request.flags & 2));
    setDefaultSuffix(request.defaultExt.startsWith(QLatin1Char('.')) ? request.defaultExt.mid(1)
                                                                     : request.defaultExt);
    if (!request.fileName.isEmpty())
        selectFile(request.fileName);
}

void PathCheckedFileDialog::accept() {
    const QStringList files = selectedFiles();
    if (m_pathMustExist && !files.isEmpty()) {
        const QFileInfo chosen(files.first());
        if (!chosen.isDir() && !chosen.dir().exists()) {
            m_refuse(tr("The folder %1 does not exist.\r\nCheck the folder name and try again.")
                         .arg(QDir::toNativeSeparators(chosen.absolutePath())));
            return;
        }
    }
    QFileDialog::accept();
}

QWidget* QtPrompter::owner() const {
    return m_owner ? m_owner.data() : QApplication::activeWindow();
}

QString QtPrompter::qtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        const QString patterns = parts[i + 1].trimmed().replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt reads the patterns from the parentheses; add them where the description lacks them.
        if (!description.contains(QLatin1Char('(')))
            description += QStringLiteral(" (") + patterns + QLatin1Char(')');
        filters.append(description);
    }
    return filters.join(QStringLiteral(";;"));
}

Answer QtPrompter::message(const QString& text, const QString& title, MessageIcon icon,
                           MessageButtons buttons) {
    QMessageBox box(owner());
    box.setWindowTitle(title);
    box.setText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    switch (icon) {
    case MessageIcon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case MessageIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case MessageIcon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case MessageIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MessageIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    }
    switch (buttons) {
    case MessageButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MessageButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case MessageButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case MessageButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Ok:
        return Answer::Ok;
    default:
        // The close box of a Yes/No question counts as No, as the platform's box has none.
        return buttons == MessageButtons::YesNo ? Answer::No : Answer::Cancel;
    }
}

QString QtPrompter::runFileDialog(const FileDialogRequest& request, bool save) {
    PathCheckedFileDialog dialog(owner(), request, save, [this, &request](const QString& text) {
        message(text, request.title, MessageIcon::Exclamation, MessageButtons::Ok);
    });
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
               ? dialog.selectedFiles().first()
               : QString();
}

QString QtPrompter::openFileName(const FileDialogRequest& request) {
    return runFileDialog(request, false);
}

QString QtPrompter::saveFileName(const FileDialogRequest& request) {
    return runFileDialog(request, true);
}

} // namespace tavimor
