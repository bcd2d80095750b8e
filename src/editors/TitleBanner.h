// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFrame>

class QLabel;

namespace tavimor {

// The strip across the top of the editors (pctTitle): white heading (lblMainTitle) on a blue
// gradient, drawn rather than stored as a picture so it stretches with the dialog.
class TitleBanner : public QFrame {
    Q_OBJECT
public:
    explicit TitleBanner(const QString& title, QWidget* parent = nullptr);
    void setTitle(const QString& title);
    QString title() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* m_title;
};

} // namespace tavimor
