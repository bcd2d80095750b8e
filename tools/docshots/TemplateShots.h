// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <functional>

class QWidget;

// The Administrative Templates' pictures: a category of Mozilla's Firefox templates in the main
// window, and the editor of a sample policy with a control of every kind.
void templateShots(const std::function<void(QWidget&, const QString&)>& save);
