#pragma once

#include "base/Prompter.h"

#include <QPointer>

class QWidget;

namespace tavimor {

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
