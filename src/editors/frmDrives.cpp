// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmDrives.h"

#include "TitleBanner.h"
#include "base/Prompter.h"
#include "catalogue/DriveMask.h"
#include "catalogue/ProgramContext.h"
#include "editors/EditorLayout.h"
#include "gui/PaletteColours.h"
#include "gui/PngPicture.h"
#include "gui/Twips.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

// The pictures sit in the static gui library, whose resource registration the linker would drop.
static void initEditorResources() {
    Q_INIT_RESOURCE(editors);
}

namespace tavimor {

frmDrives::frmDrives(ProgramContext& context, QWidget* parent)
    : QDialog(parent)
    , m_context(context) {
    initEditorResources();
    setObjectName(QStringLiteral("frmDrives"));
    setWindowTitle(tr("Hide Drive Letters"));

    QLabel* picture = makeScreenShotBox(this);
    picture->setPixmap(readPngPicture(QStringLiteral(":/editors/drives.png")));
    m_cmdOK = makeEditorButton(tr("OK"), QStringLiteral("cmdOK"), 1035, 360, this);
    m_cmdCancel = makeEditorButton(tr("Cancel"), QStringLiteral("cmdCancel"), 1035, 360, this);
    m_cmdApply = makeEditorButton(tr("&Apply"), QStringLiteral("cmdApply"), 1035, 360, this);
    m_cmdOK->setDefault(true);
    connect(m_cmdOK, &QPushButton::clicked, this, &frmDrives::cmdOK_Click);
    connect(m_cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_cmdApply, &QPushButton::clicked, this, &frmDrives::cmdApply_Click);
    layOutEditor(this, new TitleBanner(tr("Handle Drives"), this), picture, {buildDriveFrame()},
                 {m_cmdOK, m_cmdCancel, m_cmdApply});

    Form_Load();
}

QWidget* frmDrives::buildDriveFrame() {
    auto* frame = new QGroupBox(tr("Select the drive letters you want to be hidden:"));
    frame->setObjectName(QStringLiteral("fraDrives"));
    frame->setFixedWidth(twipsToPixels(4215, this));
    // The boxes stand where the layout puts them in twips; a grid keeps them from clipping
    // with larger fonts.
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(twipsToPixels(240, this));
    grid->setVerticalSpacing(twipsToPixels(138, this));
    for (int i = 0; i < kDriveCount; ++i) {
        m_check[i] = new QCheckBox(QStringLiteral("%1:").arg(QChar(u'A' + i)));
        m_check[i]->setObjectName(QStringLiteral("Check1_%1").arg(i));
        m_check[i]->setMinimumSize(twipsToPixels(i == 22 ? 615 : 550, this), twipsToPixels(252, this));
        grid->addWidget(m_check[i], i % 9, (i / 9) * 2);
        connect(m_check[i], &QCheckBox::clicked, this, [this] { m_cmdApply->setEnabled(true); });
    }
    for (int line = 0; line < 2; ++line) {
        auto* separator = new QFrame;
        separator->setObjectName(QStringLiteral("Line1_%1").arg(line));
        separator->setFrameShape(QFrame::VLine);
        separator->setFrameShadow(QFrame::Sunken);
        grid->addWidget(separator, 0, line * 2 + 1, 9, 1);
    }
    auto* note = new QLabel(tr("This setting will get activated only after a restart of the system."));
    note->setObjectName(QStringLiteral("lblRestartDesc"));
    note->setWordWrap(true);
    QPalette darkRed = note->palette();
    // A red that reads on this palette's window colour, light or dark.
    darkRed.setColor(QPalette::WindowText,
                     readableRed(darkRed.color(QPalette::Window), darkRed.color(QPalette::WindowText)));
    note->setPalette(darkRed);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(twipsToPixels(240, this), twipsToPixels(120, this), twipsToPixels(120, this),
                               twipsToPixels(120, this));
    layout->addLayout(grid);
    layout->addStretch();
    layout->addWidget(note);
    return frame;
}

void frmDrives::Form_Load() {
    const quint32 mask = readDriveMask(m_context.registry, m_context.errors, &m_unread);
    // A mask that could not be read is not "none hidden": it is written only as the user changes it.
    if (!m_unread.isEmpty())
        m_context.prompter.message(tr("The hidden drives could not be read: %1\r\n\r\nNothing is written "
                                      "unless you tick or clear a box.")
                                       .arg(m_unread),
                                   m_context.appTitle, MessageIcon::Exclamation, MessageButtons::Ok);
    for (int i = 0; i < kDriveCount; ++i) {
        const quint32 bit = driveBit(i, m_context.errors);
        m_check[i]->setChecked((mask & bit) == bit);
    }
    m_cmdApply->setEnabled(false);
}

quint32 frmDrives::checkedMask() const {
    quint32 mask = 0;
    for (int i = 0; i < kDriveCount; ++i) {
        if (m_check[i]->checkState() == Qt::Checked)
            mask |= driveBit(i, m_context.errors);
    }
    return mask;
}

void frmDrives::cmdApply_Click() {
    writeDriveMask(m_context.registry, checkedMask(), m_context.errors);
    m_unread.clear();
    m_cmdApply->setEnabled(false);
}

void frmDrives::cmdOK_Click() {
    if (m_unread.isEmpty() || m_cmdApply->isEnabled())
        cmdApply_Click();
    accept();
}

} // namespace tavimor
