// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QCheckBox;
class QPushButton;

namespace tavimor {

class ProgramContext;

// Offers to restart the target's Windows at exit and remembers whether to offer it again.
class frmRestart : public QDialog {
    Q_OBJECT
public:
    explicit frmRestart(ProgramContext& context, QWidget* parent = nullptr);

protected:
    // Esc means "Restart &Later", which saves the choice; the close box saves nothing.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void saveChoice();
    void OKButton_Click();
    void CancelButton_Click();

    ProgramContext& m_context;
    QCheckBox* m_chkHide = nullptr;
    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
};

} // namespace tavimor
