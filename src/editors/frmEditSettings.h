// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "EditedEntry.h"

#include <QDialog>
#include <functional>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tavimor {

class ProgramContext;
class TitleBanner;

// Edits one Boolean or Number entry of the working catalogue and applies it now or later.
// Control arrays get their index appended to the name: optRegValue0 is optRegValue(0).
class frmEditSettings : public QDialog {
    Q_OBJECT
public:
    using RefreshList = std::function<void(const QString&)>;

    frmEditSettings(ProgramContext& context, RefreshList refreshList, QWidget* parent = nullptr);

    void setRegXPath(const QString& address) { m_regXPath = address; }
    QString RegXPath() const { return m_regXPath; }
    // Reads the entry first, as any first touch of a control does.
    void setRestartNoteVisible(bool visible);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    QFrame* buildEditFrame(int index, QLabel** name, QLabel** description);
    void ensureLoaded();
    void Form_Load();
    void loadScreenShot();
    void enableApply();
    QString newValue(bool applyNow) const;
    void cmdApply_Click();
    void cmdOK_Click();

    ProgramContext& m_context;
    RefreshList m_refreshList;
    QString m_regXPath;
    EditedEntry m_entry;
    bool m_loaded = false;

    TitleBanner* m_banner = nullptr;
    QLabel* m_screenShot = nullptr;
    QFrame* m_frame[3] = {};
    QLabel* m_regName[3] = {};
    QLabel* m_regDesc[3] = {};
    QRadioButton* m_optRegValue[2] = {};
    QLabel* m_restartDesc = nullptr;
    QLineEdit* m_txtRegValue = nullptr;
    QLineEdit* m_txtRegString = nullptr;
    QPushButton* m_cmdOK = nullptr;
    QPushButton* m_cmdCancel = nullptr;
    QPushButton* m_cmdApply = nullptr;
};

} // namespace tavimor
