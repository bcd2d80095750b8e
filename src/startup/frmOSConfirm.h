// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QCheckBox;

namespace tavimor {

class ErrorHandler;
class SettingsStore;

// The warning about an unsupported Windows version: "Yes" continues, "No", Esc and the close box stop.
class frmOSConfirm : public QDialog {
    Q_OBJECT
public:
    frmOSConfirm(SettingsStore& settings, ErrorHandler& errors, QWidget* parent = nullptr);

    // Shows the dialog modally: 1 continue, 0 stop.
    qint16 ShowConfirmation();
    qint16 result() const { return m_result; }

public slots:
    void cmdOK_Click();
    void cmdCancel_Click();

private:
    SettingsStore& m_settings;
    ErrorHandler& m_errors;
    QCheckBox* m_hide = nullptr;
    qint16 m_result = 0;
};

} // namespace tavimor
