// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QCheckBox;
class QPushButton;

namespace tavimor {

class ProgramContext;

// Chooses the drive letters Explorer hides: edits NoDrives directly, not the catalogue.
// Control arrays get their index appended to the name: Check1_0 is Check1(0).
class frmDrives : public QDialog {
    Q_OBJECT
public:
    explicit frmDrives(ProgramContext& context, QWidget* parent = nullptr);

    // The mask the ticked boxes stand for.
    quint32 checkedMask() const;

private:
    QWidget* buildDriveFrame();
    void Form_Load();
    void cmdApply_Click();
    void cmdOK_Click();

    ProgramContext& m_context;
    QCheckBox* m_check[26] = {};
    QPushButton* m_cmdOK = nullptr;
    QPushButton* m_cmdCancel = nullptr;
    QPushButton* m_cmdApply = nullptr;
    QString m_unread; // why the mask could not be read; "" when it was
};

} // namespace tavimor
