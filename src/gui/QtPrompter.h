// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Prompter.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QPointer>
#include <functional>

class QWidget;

namespace tavimor {

// A file dialog that, asked for path-must-exist (2048), refuses a name in a folder that does not
// exist while it is still open, so the user can correct it there.
class PathCheckedFileDialog : public QFileDialog {
    Q_DECLARE_TR_FUNCTIONS(PathCheckedFileDialog)

public:
    using Refuse = std::function<void(const QString& text)>;
    PathCheckedFileDialog(QWidget* owner, const FileDialogRequest& request, bool save, Refuse refuse);
    void accept() override;

private:
    bool m_pathMustExist;
    Refuse m_refuse;
};

// The Prompter of the windows: message boxes and the platform's file dialogs, owned by the
// active window (or the one given).
class QtPrompter : public Prompter {
public:
    explicit QtPrompter(QWidget* owner = nullptr)
        : m_owner(owner) {}
    void setOwner(QWidget* owner) { m_owner = owner; }

    Answer message(const QString& text, const QString& title, MessageIcon icon,
                   MessageButtons buttons) override;
    QString openFileName(const FileDialogRequest& request) override;
    QString saveFileName(const FileDialogRequest& request) override;

    // "Tavimor Files (*.rds)|*.rds|All Files (*.*)|*.*" as Qt writes it.
    static QString qtFilter(const QString& filter);

private:
    QWidget* owner() const;
    QString runFileDialog(const FileDialogRequest& request, bool save);
    QPointer<QWidget> m_owner;
};

} // namespace tavimor
