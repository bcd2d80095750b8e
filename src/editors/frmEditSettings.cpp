// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmEditSettings.h"

#include "TitleBanner.h"
#include "base/FileUtil.h"
#include "base/Prompter.h"
#include "catalogue/ProgramContext.h"
#include "editors/EditorLayout.h"
#include "gui/PaletteColours.h"
#include "gui/Twips.h"

#include <QButtonGroup>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTimer>
#include <QVBoxLayout>

namespace tavimor {

namespace {

// Entry pictures are screenshots of a few hundred kilobytes.
constexpr qint64 kMaxPictureSize = 16 * 1024 * 1024;

QString titleOf(const ProgramContext& context) {
    return context.appTitle.isEmpty() ? QLatin1String(kAppTitle) : context.appTitle;
}
} // namespace

frmEditSettings::frmEditSettings(ProgramContext& context, RefreshList refreshList, QWidget* parent)
    : QDialog(parent)
    , m_context(context)
    , m_refreshList(std::move(refreshList)) {
    setObjectName(QStringLiteral("frmEditSettings"));
    setWindowTitle(QLatin1String(kAppTitle));
    buildControls();
}

QFrame* frmEditSettings::buildEditFrame(int index, QLabel** name, QLabel** description) {
    auto* frame = new QFrame;
    frame->setObjectName(QStringLiteral("fraEditRegistry%1").arg(index));
    frame->setFixedWidth(twipsToPixels(4215, this));
    frame->setMinimumHeight(twipsToPixels(4395, this));
    *name = new QLabel(tr("Registry Key Name"));
    (*name)->setObjectName(QStringLiteral("lblRegName%1").arg(index));
    (*name)->setWordWrap(true);
    QFont bold = (*name)->font();
    bold.setBold(true);
    (*name)->setFont(bold);
    *description = new QLabel(tr("Registry Key Description"));
    (*description)->setObjectName(QStringLiteral("lblRegDesc%1").arg(index));
    (*description)->setWordWrap(true);
    (*description)->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(*name);
    layout->addWidget(*description);
    return frame;
}

void frmEditSettings::buildControls() {
    m_banner = new TitleBanner(QString(), this);

    m_screenShot = makeScreenShotBox(this);
    m_screenShot->setWordWrap(true);

    m_frame[0] = buildEditFrame(0, &m_regName[0], &m_regDesc[0]);
    auto* booleanLayout = static_cast<QVBoxLayout*>(m_frame[0]->layout());
    auto* options = new QButtonGroup(m_frame[0]);
    const QString captions[2] = {tr("Enable"), tr("Disable")};
    for (int i = 0; i < 2; ++i) {
        m_optRegValue[i] = new QRadioButton(captions[i]);
        m_optRegValue[i]->setObjectName(QStringLiteral("optRegValue%1").arg(i));
        options->addButton(m_optRegValue[i], i);
        booleanLayout->addWidget(m_optRegValue[i]);
        connect(m_optRegValue[i], &QRadioButton::clicked, this, &frmEditSettings::enableApply);
    }
    m_optRegValue[0]->setChecked(true);
    booleanLayout->addStretch();
    m_restartDesc = new QLabel(tr("This setting will get activated only after a restart of the system."));
    m_restartDesc->setObjectName(QStringLiteral("lblRestartDesc"));
    m_restartDesc->setWordWrap(true);
    QPalette darkRed = m_restartDesc->palette();
    // A red that reads on this palette's window colour, light or dark.
    darkRed.setColor(QPalette::WindowText,
                     readableRed(darkRed.color(QPalette::Window), darkRed.color(QPalette::WindowText)));
    m_restartDesc->setPalette(darkRed);
    booleanLayout->addWidget(m_restartDesc);

    m_frame[1] = buildEditFrame(1, &m_regName[1], &m_regDesc[1]);
    auto* numberLayout = static_cast<QVBoxLayout*>(m_frame[1]->layout());
    m_txtRegValue = new QLineEdit;
    m_txtRegValue->setObjectName(QStringLiteral("txtRegValue"));
    m_txtRegValue->setMaxLength(2);
    // Digits only, typed or pasted; backspace still edits.
    m_txtRegValue->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,2}")), m_txtRegValue));
    m_txtRegValue->setFixedWidth(twipsToPixels(735, this));
    numberLayout->addWidget(m_txtRegValue);
    numberLayout->addStretch();
    connect(m_txtRegValue, &QLineEdit::textChanged, this, &frmEditSettings::enableApply);

    m_frame[2] = buildEditFrame(2, &m_regName[2], &m_regDesc[2]);
    auto* stringLayout = static_cast<QVBoxLayout*>(m_frame[2]->layout());
    m_txtRegString = new QLineEdit;
    m_txtRegString->setObjectName(QStringLiteral("txtRegString"));
    stringLayout->addWidget(m_txtRegString);
    stringLayout->addStretch();
    connect(m_txtRegString, &QLineEdit::textChanged, this, &frmEditSettings::enableApply);
    m_frame[1]->hide();
    m_frame[2]->hide();

    m_cmdOK = makeEditorButton(tr("Apply &later"), QStringLiteral("cmdOK"), 1095, 345, this);
    m_cmdCancel = makeEditorButton(tr("Cancel"), QStringLiteral("cmdCancel"), 1095, 345, this);
    m_cmdApply = makeEditorButton(tr("&Apply now"), QStringLiteral("cmdApply"), 1095, 345, this);
    m_cmdOK->setEnabled(false);
    m_cmdApply->setEnabled(false);
    connect(m_cmdOK, &QPushButton::clicked, this, &frmEditSettings::cmdOK_Click);
    connect(m_cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_cmdApply, &QPushButton::clicked, this, &frmEditSettings::cmdApply_Click);
    layOutEditor(this, m_banner, m_screenShot, {m_frame[0], m_frame[1], m_frame[2]},
                 {m_cmdOK, m_cmdCancel, m_cmdApply});
}

void frmEditSettings::setRestartNoteVisible(bool visible) {
    ensureLoaded();
    m_restartDesc->setVisible(visible);
}

void frmEditSettings::showEvent(QShowEvent* event) {
    ensureLoaded();
    QDialog::showEvent(event);
    if (m_entry.kind() == EditedEntry::Kind::Missing)
        QTimer::singleShot(0, this, &QDialog::reject);
}

void frmEditSettings::ensureLoaded() {
    if (m_loaded)
        return;
    m_loaded = true;
    Form_Load();
}

void frmEditSettings::Form_Load() {
    m_entry = EditedEntry::load(m_context.workingCatalogue, m_regXPath);
    m_banner->setTitle(m_entry.section());
    loadScreenShot();

    int shown = -1;
    switch (m_entry.kind()) {
    case EditedEntry::Kind::Boolean:
        shown = 0;
        switch (m_entry.initialChoice()) {
        case EditedEntry::Choice::Enable:
            m_optRegValue[0]->setChecked(true);
            break;
        case EditedEntry::Choice::Disable:
            m_optRegValue[1]->setChecked(true);
            break;
        case EditedEntry::Choice::Neither:
            // A value that is no number matches neither option; the user has to pick one.
            m_optRegValue[0]->group()->setExclusive(false);
            m_optRegValue[0]->setChecked(false);
            m_optRegValue[0]->group()->setExclusive(true);
            break;
        }
        break;
    case EditedEntry::Kind::Number:
        shown = 1;
        m_txtRegValue->setText(m_entry.initialText());
        break;
    case EditedEntry::Kind::String:
    case EditedEntry::Kind::Unknown:
        shown = 2;
        m_txtRegString->setText(m_entry.initialText());
        m_txtRegString->setReadOnly(m_entry.kind() == EditedEntry::Kind::Unknown);
        break;
    case EditedEntry::Kind::Missing:
        break;
    }
    for (int i = 0; i < 3; ++i) {
        m_frame[i]->setVisible(i == shown);
        m_regName[i]->setText(m_entry.name());
        m_regDesc[i]->setText(m_entry.description());
    }
    m_cmdApply->setEnabled(false);
    m_cmdOK->setEnabled(false);

    const QString problem = m_entry.problem();
    if (!problem.isEmpty())
        m_context.prompter.message(problem, titleOf(m_context), MessageIcon::Exclamation, MessageButtons::Ok);
}

void frmEditSettings::loadScreenShot() {
    const QString path = m_entry.imagePath(m_context.programFolder);
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return;
    // The .rdi name says nothing about the format; the content decides.
    const std::optional<QByteArray> bytes = readWholeFile(path, kMaxPictureSize);
    const QImage image = bytes ? QImage::fromData(*bytes) : QImage();
    if (image.isNull()) {
        m_screenShot->setText(tr("The picture %1 cannot be read.").arg(QFileInfo(path).fileName()));
        return;
    }
    QPixmap picture = QPixmap::fromImage(image);
    const QSize room = m_screenShot->contentsRect().size();
    if (picture.width() > room.width() || picture.height() > room.height())
        picture = picture.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    m_screenShot->setPixmap(picture);
}

void frmEditSettings::enableApply() {
    m_cmdApply->setEnabled(m_entry.canApplyNow());
    m_cmdOK->setEnabled(m_entry.canApplyLater());
}

QString frmEditSettings::newValue(bool applyNow) const {
    if (!m_frame[0]->isHidden()) {
        return EditedEntry::booleanValue(m_optRegValue[1]->isChecked() ? EditedEntry::Choice::Disable
                                                                       : EditedEntry::Choice::Enable);
    }
    if (!m_frame[1]->isHidden())
        return EditedEntry::numberValue(m_txtRegValue->text(), applyNow);
    return m_txtRegString->text();
}

void frmEditSettings::cmdApply_Click() {
    const QString value = newValue(true);
    if (const QString problem = m_entry.applyNowProblem(value); !problem.isEmpty()) {
        m_context.prompter.message(problem, titleOf(m_context), MessageIcon::Exclamation, MessageButtons::Ok);
        return;
    }
    if (!m_entry.applyNow(m_context, value))
        return;
    m_cmdApply->setEnabled(false);
    if (m_refreshList)
        m_refreshList(m_regXPath);
    accept();
}

void frmEditSettings::cmdOK_Click() {
    if (!m_entry.applyLater(m_context, newValue(false)))
        return;
    if (m_refreshList)
        m_refreshList(QStringLiteral("/TAVIMOR/REGISTRYSETTINGS/ENTRY"));
    accept();
}

} // namespace tavimor
