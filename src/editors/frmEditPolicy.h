// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/PolicyForm.h"

#include <QDialog>
#include <functional>

class QAbstractButton;
class QPushButton;
class QRadioButton;
class QWidget;

namespace tavimor {

class ProgramContext;

// Edits one template policy of the working catalogue: Not configured, Enabled with the values of
// its controls, or Disabled, applied now or later as the edit setting dialog does. The rules are
// PolicyForm's; the controls are drawn from the policy's presentation.
class frmEditPolicy : public QDialog {
    Q_OBJECT
public:
    using RefreshList = std::function<void(const QString&)>;

    frmEditPolicy(ProgramContext& context, const PolicyInstance& policy, RefreshList refreshList,
                  QWidget* parent = nullptr);

    // The state chosen; Other while none is.
    PolicyState chosenState() const;
    void cmdApply_Click();
    void cmdOK_Click();

private:
    QWidget* buildFields();
    QWidget* fieldWidget(PolicyField& field, int index);
    void showState();
    void changed();
    // The form's fields as the controls hold them now.
    void readControls();
    std::optional<PolicySetting> chosenSetting();

    ProgramContext& m_context;
    RefreshList m_refreshList;
    PolicyForm m_form;
    QList<QWidget*> m_controls; // per field; nullptr for a label
    QRadioButton* m_state[3] = {};
    QWidget* m_options = nullptr;
    QPushButton* m_cmdOK = nullptr;
    QPushButton* m_cmdApply = nullptr;
};

} // namespace tavimor
