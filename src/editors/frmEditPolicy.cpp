// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmEditPolicy.h"

#include "TitleBanner.h"
#include "base/Prompter.h"
#include "catalogue/ProgramContext.h"
#include "catalogue/TemplateEdit.h"
#include "catalogue/TemplateStates.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QSpinBox>
#include <QTableWidget>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <climits>

namespace tavimor {

namespace {

using Kind = PolicyField::Kind;

QLabel* wrapped(const QString& text) {
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    return label;
}

// A list element's entries, one row each, with a name column where the user names them.
QWidget* listEditor(const PolicyField& field, QTableWidget** table) {
    auto* box = new QWidget;
    auto* layout = new QGridLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    *table = new QTableWidget(int(field.lines.size()), field.named ? 2 : 1, box);
    (*table)->setHorizontalHeaderLabels(
        field.named ? QStringList{frmEditPolicy::tr("Value name"), frmEditPolicy::tr("Value")}
                    : QStringList{frmEditPolicy::tr("Value")});
    (*table)->horizontalHeader()->setStretchLastSection(true);
    (*table)->verticalHeader()->hide();
    (*table)->setFixedHeight((*table)->fontMetrics().lineSpacing() * 7);
    for (int row = 0; row < field.lines.size(); ++row) {
        if (field.named)
            (*table)->setItem(row, 0, new QTableWidgetItem(field.names.value(row)));
        (*table)->setItem(row, field.named ? 1 : 0, new QTableWidgetItem(field.lines[row]));
    }
    auto* add = new QPushButton(frmEditPolicy::tr("A&dd"), box);
    add->setObjectName(QStringLiteral("cmdAddEntry"));
    auto* remove = new QPushButton(frmEditPolicy::tr("&Remove"), box);
    remove->setObjectName(QStringLiteral("cmdRemoveEntry"));
    // Enter in the dialog is no request for another row.
    add->setAutoDefault(false);
    remove->setAutoDefault(false);
    QTableWidget* t = *table;
    QObject::connect(add, &QPushButton::clicked, t, [t] {
        t->insertRow(t->rowCount());
        t->setCurrentCell(t->rowCount() - 1, t->columnCount() - 1);
        t->editItem(t->currentItem());
    });
    QObject::connect(remove, &QPushButton::clicked, t, [t] {
        if (t->currentRow() >= 0)
            t->removeRow(t->currentRow());
    });
    layout->addWidget(t, 0, 0, 3, 1);
    layout->addWidget(add, 0, 1);
    layout->addWidget(remove, 1, 1);
    return box;
}

QString cellText(const QTableWidget* table, int row, int column) {
    const QTableWidgetItem* item = table->item(row, column);
    return item ? item->text().trimmed() : QString();
}

} // namespace

frmEditPolicy::frmEditPolicy(ProgramContext& context, const PolicyInstance& policy, RefreshList refreshList,
                             QWidget* parent)
    : QDialog(parent)
    , m_context(context)
    , m_refreshList(std::move(refreshList))
    , m_form(*context.templates, policy, TemplateStates::settingOf(context.workingCatalogue, policy)) {
    setObjectName(QStringLiteral("frmEditPolicy"));
    setWindowTitle(m_form.title());
    auto* banner = new TitleBanner(m_form.category(), this);

    auto* states = new QButtonGroup(this);
    auto* stateBox = new QVBoxLayout;
    const QString captions[3] = {tr("&Not configured"), tr("&Enabled"), tr("&Disabled")};
    for (int i = 0; i < 3; ++i) {
        m_state[i] = new QRadioButton(captions[i]);
        m_state[i]->setObjectName(QStringLiteral("optState%1").arg(i));
        states->addButton(m_state[i], i);
        stateBox->addWidget(m_state[i]);
    }
    connect(states, &QButtonGroup::idClicked, this, [this] {
        showState();
        changed();
    });
    auto* name = wrapped(m_form.title());
    name->setObjectName(QStringLiteral("lblPolicyName"));
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    auto* supported = wrapped(m_form.supportedOn());
    supported->setObjectName(QStringLiteral("lblSupportedOn"));
    auto* top = new QGridLayout;
    top->addLayout(stateBox, 0, 0, 2, 1);
    top->addWidget(name, 0, 1);
    auto* supportedRow = new QHBoxLayout;
    auto* supportedCaption = new QLabel(tr("Supported on:"));
    supportedCaption->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    supportedRow->addWidget(supportedCaption);
    supportedRow->addWidget(supported, 1);
    top->addLayout(supportedRow, 1, 1);
    top->setColumnStretch(1, 1);

    auto* options = new QGroupBox(tr("Options:"));
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    m_options = buildFields();
    scroll->setWidget(m_options);
    (new QVBoxLayout(options))->addWidget(scroll);
    auto* help = new QGroupBox(tr("Help:"));
    auto* explain = new QTextBrowser;
    explain->setObjectName(QStringLiteral("txtExplain"));
    explain->setPlainText(m_form.explainText());
    (new QVBoxLayout(help))->addWidget(explain);
    auto* middle = new QHBoxLayout;
    middle->addWidget(options, 3);
    middle->addWidget(help, 2);

    // The edit setting dialog's buttons, in its order.
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    m_cmdOK = new QPushButton(tr("Apply &later"));
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    auto* cancel = new QPushButton(tr("Cancel"));
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    m_cmdApply = new QPushButton(tr("&Apply now"));
    m_cmdApply->setObjectName(QStringLiteral("cmdApply"));
    for (QPushButton* button : {m_cmdOK, cancel, m_cmdApply})
        buttons->addWidget(button);
    m_cmdOK->setEnabled(false);
    m_cmdApply->setEnabled(false);
    connect(m_cmdOK, &QPushButton::clicked, this, &frmEditPolicy::cmdOK_Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_cmdApply, &QPushButton::clicked, this, &frmEditPolicy::cmdApply_Click);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 8);
    layout->addWidget(banner);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(10, 4, 10, 0);
    body->addLayout(top);
    body->addLayout(middle, 1);
    body->addLayout(buttons);
    layout->addLayout(body, 1);
    resize(760, 520);

    switch (m_form.state()) {
    case PolicyState::NotConfigured:
    case PolicyState::Enabled:
    case PolicyState::Disabled:
        m_state[int(m_form.state())]->setChecked(true);
        break;
    case PolicyState::Other:
    case PolicyState::Unread:
        // Neither form matches what is set; the user picks one.
        break;
    }
    showState();
}

QWidget* frmEditPolicy::buildFields() {
    auto* panel = new QWidget;
    auto* layout = new QVBoxLayout(panel);
    for (int i = 0; i < m_form.fields().size(); ++i) {
        PolicyField& field = m_form.fields()[i];
        if (field.kind == Kind::Label) {
            layout->addWidget(wrapped(field.label));
            m_controls.append(nullptr);
            continue;
        }
        if (field.kind != Kind::CheckBox)
            layout->addWidget(wrapped(field.label));
        layout->addWidget(fieldWidget(field, i));
    }
    if (m_form.fields().isEmpty())
        layout->addWidget(wrapped(tr("This policy has no options.")));
    layout->addStretch();
    return panel;
}

QWidget* frmEditPolicy::fieldWidget(PolicyField& field, int index) {
    QWidget* control = nullptr;
    QWidget* shown = nullptr;
    const auto onChange = [this] {
        changed();
    };
    switch (field.kind) {
    case Kind::CheckBox: {
        auto* box = new QCheckBox(field.label);
        box->setChecked(field.checked);
        connect(box, &QCheckBox::toggled, this, onChange);
        control = box;
        break;
    }
    case Kind::TextBox: {
        auto* edit = new QLineEdit(field.text);
        edit->setMaxLength(field.maxLength);
        connect(edit, &QLineEdit::textEdited, this, onChange);
        control = edit;
        break;
    }
    case Kind::NumberBox:
        if (field.spin && field.maximum <= quint64(INT_MAX)) {
            auto* spin = new QSpinBox;
            spin->setRange(int(field.minimum), int(field.maximum));
            spin->setSingleStep(int(qMin<quint64>(field.step, INT_MAX)));
            spin->setValue(field.text.toInt());
            connect(spin, &QSpinBox::valueChanged, this, onChange);
            control = spin;
        } else {
            auto* edit = new QLineEdit(field.text);
            edit->setValidator(
                new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,20}")), edit));
            connect(edit, &QLineEdit::textEdited, this, onChange);
            control = edit;
        }
        control->setMaximumWidth(160);
        shown = new QWidget;
        {
            auto* row = new QHBoxLayout(shown);
            row->setContentsMargins(0, 0, 0, 0);
            row->addWidget(control);
            row->addWidget(new QLabel(PolicyForm::rangeText(field)));
            row->addStretch();
        }
        break;
    case Kind::DropdownList:
    case Kind::ComboBox: {
        auto* combo = new QComboBox;
        combo->addItems(field.items);
        if (field.kind == Kind::ComboBox) {
            combo->setEditable(true);
            combo->setCurrentText(field.text);
            connect(combo, &QComboBox::currentTextChanged, this, onChange);
        } else {
            combo->setCurrentIndex(field.item);
            connect(combo, &QComboBox::currentIndexChanged, this, onChange);
        }
        control = combo;
        break;
    }
    case Kind::MultiTextBox: {
        auto* edit = new QPlainTextEdit(field.lines.join(QLatin1Char('\n')));
        edit->setFixedHeight(edit->fontMetrics().lineSpacing() * 5 + 2 * edit->frameWidth() + 8);
        connect(edit, &QPlainTextEdit::textChanged, this, onChange);
        control = edit;
        break;
    }
    case Kind::ListBox: {
        QTableWidget* table = nullptr;
        shown = listEditor(field, &table);
        connect(table, &QTableWidget::itemChanged, this, onChange);
        connect(table->model(), &QAbstractItemModel::rowsRemoved, this, onChange);
        control = table;
        break;
    }
    case Kind::Label:
        break;
    }
    control->setObjectName(QStringLiteral("ctlOption%1").arg(index));
    control->setAccessibleName(field.label);
    m_controls.append(control);
    return shown ? shown : control;
}

PolicyState frmEditPolicy::chosenState() const {
    for (int i = 0; i < 3; ++i)
        if (m_state[i]->isChecked())
            return PolicyState(i);
    return PolicyState::Other;
}

void frmEditPolicy::showState() {
    // The options count only for an enabled policy, as the Group Policy editor shows them.
    m_options->setEnabled(chosenState() == PolicyState::Enabled);
}

void frmEditPolicy::changed() {
    const bool chosen = chosenState() != PolicyState::Other;
    m_cmdOK->setEnabled(chosen);
    m_cmdApply->setEnabled(chosen);
}

void frmEditPolicy::readControls() {
    for (int i = 0; i < m_form.fields().size(); ++i) {
        PolicyField& field = m_form.fields()[i];
        QWidget* control = m_controls.value(i);
        if (auto* box = qobject_cast<QCheckBox*>(control))
            field.checked = box->isChecked();
        else if (auto* edit = qobject_cast<QLineEdit*>(control))
            field.text = edit->text();
        else if (auto* spin = qobject_cast<QSpinBox*>(control))
            field.text = QString::number(spin->value());
        else if (auto* combo = qobject_cast<QComboBox*>(control)) {
            field.item = combo->currentIndex();
            field.text = combo->currentText();
        } else if (auto* text = qobject_cast<QPlainTextEdit*>(control))
            field.lines = text->toPlainText().split(QLatin1Char('\n'));
        else if (auto* table = qobject_cast<QTableWidget*>(control)) {
            field.lines.clear();
            field.names.clear();
            for (int row = 0; row < table->rowCount(); ++row) {
                const QString data = cellText(table, row, table->columnCount() - 1);
                const QString name = field.named ? cellText(table, row, 0) : QString();
                // A row left empty is no entry.
                if (data.isEmpty() && name.isEmpty())
                    continue;
                field.lines.append(data);
                if (field.named)
                    field.names.append(name);
            }
        }
    }
}

std::optional<PolicySetting> frmEditPolicy::chosenSetting() {
    readControls();
    QString problem;
    std::optional<PolicySetting> setting = m_form.setting(chosenState(), &problem);
    if (!setting)
        m_context.prompter.message(problem, windowTitle(), MessageIcon::Exclamation, MessageButtons::Ok);
    return setting;
}

void frmEditPolicy::cmdApply_Click() {
    const std::optional<PolicySetting> setting = chosenSetting();
    if (!setting)
        return;
    QString why;
    if (!applyPoliciesNow(m_context, {{&m_form.policy(), *setting}}, &why)) {
        m_context.prompter.message(tr("The policy was not applied: %1.").arg(why), windowTitle(),
                                   MessageIcon::Critical, MessageButtons::Ok);
        return;
    }
    if (m_refreshList)
        m_refreshList(m_form.policy().name());
    accept();
}

void frmEditPolicy::cmdOK_Click() {
    const std::optional<PolicySetting> setting = chosenSetting();
    if (!setting)
        return;
    applyPolicyLater(m_context, m_form.policy(), *setting);
    if (m_refreshList)
        m_refreshList(m_form.policy().name());
    accept();
}

} // namespace tavimor
