// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

namespace tavimor {

class Shell;

// A label that opens its link through the shell when clicked.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    LinkLabel(const QString& text, const QString& link, Shell& shell, QWidget* parent = nullptr);
    QString link() const { return m_link; }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString m_link;
    Shell& m_shell;
};

} // namespace tavimor
