// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

class QDialog;
class QLabel;
class QPushButton;
class QWidget;

namespace tavimor {

// What the edit setting and drive hiding dialogs share: the sunken picture box, one row of
// buttons at the bottom right, and the banner over the step frame that holds picture and editors.
QLabel* makeScreenShotBox(QDialog* dialog);
QPushButton* makeEditorButton(const QString& caption, const QString& name, int widthTwips, int heightTwips,
                              QDialog* dialog);
void layOutEditor(QDialog* dialog, QWidget* banner, QLabel* picture, const QList<QWidget*>& editors,
                  const QList<QPushButton*>& buttons);

} // namespace tavimor
