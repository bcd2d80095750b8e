// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

namespace tavimor {

class Shell;

inline constexpr int kVersionMajor = 4;
inline constexpr int kVersionMinor = 0;

// The product's title, version and the maker's links.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(Shell& shell, QWidget* parent = nullptr);
};

} // namespace tavimor
