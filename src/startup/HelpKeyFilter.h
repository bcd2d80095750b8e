// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <functional>

class QWidget;

namespace tavimor {

// F1 in any window of the program opens help at the page of the active window.
class HelpKeyFilter : public QObject {
    Q_OBJECT
public:
    using OpenHelp = std::function<void(QWidget* from, const QString& topic)>;
    explicit HelpKeyFilter(OpenHelp openHelp, QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    OpenHelp m_openHelp;
};

} // namespace tavimor
