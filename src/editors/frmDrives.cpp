#include "frmDrives.h"

#include "TitleBanner.h"
#include "catalogue/DriveMask.h"
#include "catalogue/ProgramContext.h"
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
    setWindowTitle(QStringLiteral("Hide Drive Letters"));

    auto* fraStep = new QFrame;
    fraStep->setObjectName(QStringLiteral("fraStep"));
    fraStep->setFrameShape(QFrame::StyledPanel);
    fraStep->setFrameShadow(QFrame::Sunken);
    auto* picture = new QLabel;
    picture->setObjectName(QStringLiteral("pctScreenShot"));
    picture->setFixedSize(twipsToPixels(3285, this), twipsToPixels(4275, this));
    picture->setAlignment(Qt::AlignCenter);
    picture->setFrameShape(QFrame::Panel);
    picture->setFrameShadow(QFrame::Sunken);
    picture->setPixmap(QPixmap(QStringLiteral(":/editors/drives.png")));
    auto* stepLayout = new QHBoxLayout(fraStep);
    stepLayout->setContentsMargins(twipsToPixels(180, this), twipsToPixels(150, this),
                                   twipsToPixels(120, this), twipsToPixels(150, this));
    stepLayout->setSpacing(twipsToPixels(165, this));
    stepLayout->addWidget(picture, 0, Qt::AlignTop);
    stepLayout->addWidget(buildDriveFrame());

    m_cmdOK = new QPushButton(QStringLiteral("OK"));
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdCancel = new QPushButton(QStringLiteral("Cancel"));
    m_cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    m_cmdApply = new QPushButton(QStringLiteral("&Apply"));
    m_cmdApply->setObjectName(QStringLiteral("cmdApply"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* button : {m_cmdOK, m_cmdCancel, m_cmdApply}) {
        button->setMinimumSize(twipsToPixels(1035, this), twipsToPixels(360, this));
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    m_cmdOK->setDefault(true);
    connect(m_cmdOK, &QPushButton::clicked, this, &frmDrives::cmdOK_Click);
    connect(m_cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_cmdApply, &QPushButton::clicked, this, &frmDrives::cmdApply_Click);

    auto* body = new QVBoxLayout;
    const int margin = twipsToPixels(120, this);
    body->setContentsMargins(margin, margin, margin, margin);
    body->addWidget(fraStep);
    body->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(new TitleBanner(QStringLiteral("Handle Drives"), this));
    layout->addLayout(body);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    Form_Load();
}

QWidget* frmDrives::buildDriveFrame() {
    auto* frame = new QGroupBox(QStringLiteral("Select the drive letters you want to be hidden:"));
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
    auto* note =
        new QLabel(QStringLiteral("This setting will get activated only after a restart of the system."));
    note->setObjectName(QStringLiteral("lblRestartDesc"));
    note->setWordWrap(true);
    QPalette darkRed = note->palette();
    darkRed.setColor(QPalette::WindowText, QColor(0x80, 0, 0));
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
    const quint32 mask = readDriveMask(m_context.registry, m_context.errors);
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
    m_cmdApply->setEnabled(false);
}

void frmDrives::cmdOK_Click() {
    cmdApply_Click();
    accept();
}

} // namespace tavimor
