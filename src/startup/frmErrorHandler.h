// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <functional>

class QPlainTextEdit;

namespace tavimor {

class Clock;
class Prompter;
class Shell;

// The last-resort report of an unexpected failure: both buttons end the program, the close box
// returns to the failed procedure's caller.
class frmErrorHandler : public QDialog {
    Q_OBJECT
public:
    struct Services {
        Prompter& prompter;
        Shell& shell;
        const Clock& clock;
        QString programFolder;
        QString fallbackFolder; // where errors.log goes when the program folder is read-only
        std::function<void(int)> quit;
    };

    explicit frmErrorHandler(const Services& services, QWidget* parent = nullptr);

    // Stores the error and shows the window modally.
    void DisplayError(qint32 lTempErrNumber, const QString& sTempErrDesc, const QString& sTempErrSrc);
    // Fills the window without showing it modally, for callers that drive it themselves.
    void setError(qint32 lTempErrNumber, const QString& sTempErrDesc, const QString& sTempErrSrc);

public slots:
    void cmdSendReport_Click();
    void cmdDontSend_Click();

private:
    void CloseAll();

    Services m_services;
    QPlainTextEdit* m_report = nullptr;
    qint32 m_number = 0;
    QString m_description;
    QString m_source;
};

} // namespace tavimor
