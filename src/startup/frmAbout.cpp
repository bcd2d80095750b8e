// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmAbout.h"

#include "LinkLabel.h"
#include "Maker.h"
#include "StartupPictures.h"
#include "catalogue/ProgramContext.h"
#include "gui/Twips.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace tavimor {

frmAbout::frmAbout(Shell& shell, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(tr("About %1").arg(QLatin1String(kAppTitle)));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("picIcon"));
    icon->setAccessibleName(tr("Tavimor icon"));
    icon->setPixmap(startupPicture(QStringLiteral("tavimor32.png")));
    icon->setAlignment(Qt::AlignTop);
    auto* title = new QLabel(QLatin1String(kAppTitle), this);
    title->setObjectName(QStringLiteral("lblTitle"));
    QFont big = title->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.4);
    title->setFont(big);
    auto* version = new QLabel(tr("Version %1.%2").arg(kVersionMajor).arg(kVersionMinor), this);
    version->setObjectName(QStringLiteral("lblVersion"));

    auto* company =
        new LinkLabel(QLatin1String(kMakerCompany), QLatin1String(kMakerCompanySite), shell, this);
    company->setObjectName(QStringLiteral("lblQuorvelLink"));
    auto* product =
        new LinkLabel(QLatin1String(kMakerProductSite), QLatin1String(kMakerProductSite), shell, this);
    product->setObjectName(QStringLiteral("lblQuillmoorLink"));
    auto* support = new LinkLabel(QLatin1String(kMakerSupportMail),
                                  QStringLiteral("mailto:") + QLatin1String(kMakerSupportMail), shell, this);
    support->setObjectName(QStringLiteral("lblQuillmoor"));

    auto* ok = new QPushButton(tr("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    ok->setMinimumWidth(twipsToPixels(1140, this));
    // Enter and Esc both reach OK: it is the default button, and Esc rejects, which also closes.
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* text = new QVBoxLayout;
    text->addWidget(title);
    text->addWidget(version);
    text->addSpacing(twipsToPixels(120, this));
    text->addWidget(company);
    text->addWidget(product);
    text->addWidget(support);
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addSpacing(twipsToPixels(180, this));
    top->addLayout(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);

    const QSize hint = sizeHint();
    setFixedSize(std::max(hint.width(), twipsToPixels(5010, this)),
                 std::max(hint.height(), twipsToPixels(2115, this)));
}

} // namespace tavimor
