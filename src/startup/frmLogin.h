// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;

namespace tavimor {

class Prompter;

// The password dialog: login mode asks for the password, set mode asks for it twice.
class frmLogin : public QDialog {
    Q_OBJECT
public:
    explicit frmLogin(Prompter& prompter, QWidget* parent = nullptr);

    // Shows the dialog modally; the confirmed password right-trimmed, or "".
    QString Start(bool bSet);
    // Sets the dialog up for a Start without showing it, for callers that show it themselves.
    void prepare(bool bSet);
    QString enteredPassword() const;
    // "Cancel" was pressed in login mode, which ends the program.
    bool cancelledLogin() const { return m_cancelledLogin; }

public slots:
    void cmdOK_Click();
    void cmdCancel_Click();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    Prompter& m_prompter;
    // lblLabels(0..1) and txtPassword(0..1) are named lblLabels0, txtPassword0, ...
    QLabel* m_labels[2] = {};
    QLineEdit* m_boxes[2] = {};
    bool m_set = false;
    bool m_cancelledLogin = false;
    QString m_entered;
};

} // namespace tavimor
