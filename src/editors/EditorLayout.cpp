// SPDX-License-Identifier: GPL-3.0-or-later
#include "EditorLayout.h"

#include "gui/Twips.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace tavimor {

QLabel* makeScreenShotBox(QDialog* dialog) {
    auto* picture = new QLabel;
    picture->setObjectName(QStringLiteral("pctScreenShot"));
    picture->setAccessibleName(
        QCoreApplication::translate("EditorLayout", "Screenshot of what the setting changes"));
    picture->setFixedSize(twipsToPixels(3285, dialog), twipsToPixels(4275, dialog));
    picture->setAlignment(Qt::AlignCenter);
    picture->setFrameShape(QFrame::Panel);
    picture->setFrameShadow(QFrame::Sunken);
    return picture;
}

QPushButton* makeEditorButton(const QString& caption, const QString& name, int widthTwips, int heightTwips,
                              QDialog* dialog) {
    auto* button = new QPushButton(caption);
    button->setObjectName(name);
    button->setMinimumSize(twipsToPixels(widthTwips, dialog), twipsToPixels(heightTwips, dialog));
    button->setAutoDefault(false);
    return button;
}

void layOutEditor(QDialog* dialog, QWidget* banner, QLabel* picture, const QList<QWidget*>& editors,
                  const QList<QPushButton*>& buttons) {
    auto* fraStep = new QFrame;
    fraStep->setObjectName(QStringLiteral("fraStep"));
    fraStep->setFrameShape(QFrame::StyledPanel);
    fraStep->setFrameShadow(QFrame::Sunken);
    auto* stepLayout = new QHBoxLayout(fraStep);
    stepLayout->setContentsMargins(twipsToPixels(180, dialog), twipsToPixels(150, dialog),
                                   twipsToPixels(120, dialog), twipsToPixels(150, dialog));
    stepLayout->setSpacing(twipsToPixels(165, dialog));
    stepLayout->addWidget(picture, 0, Qt::AlignTop);
    for (QWidget* editor : editors)
        stepLayout->addWidget(editor);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    for (QPushButton* button : buttons)
        buttonRow->addWidget(button);

    auto* body = new QVBoxLayout;
    const int margin = twipsToPixels(120, dialog);
    body->setContentsMargins(margin, margin, margin, margin);
    body->addWidget(fraStep);
    body->addLayout(buttonRow);
    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(banner);
    layout->addLayout(body);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace tavimor
