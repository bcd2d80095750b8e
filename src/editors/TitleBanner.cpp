// SPDX-License-Identifier: GPL-3.0-or-later
#include "TitleBanner.h"

#include "gui/Twips.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>

namespace tavimor {

TitleBanner::TitleBanner(const QString& title, QWidget* parent)
    : QFrame(parent)
    , m_title(new QLabel(title, this)) {
    setObjectName(QStringLiteral("pctTitle"));
    m_title->setObjectName(QStringLiteral("lblMainTitle"));
    QFont font = m_title->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.25);
    m_title->setFont(font);
    QPalette palette = m_title->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    m_title->setPalette(palette);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(twipsToPixels(180, this), 0, twipsToPixels(180, this), 0);
    layout->addWidget(m_title);
    setMinimumHeight(twipsToPixels(555, this));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void TitleBanner::setTitle(const QString& title) {
    m_title->setText(title);
}

QString TitleBanner::title() const {
    return m_title->text();
}

void TitleBanner::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    QLinearGradient gradient(0, 0, width(), 0);
    gradient.setColorAt(0, QColor(0, 0, 128));
    gradient.setColorAt(1, QColor(16, 132, 208));
    painter.fillRect(rect(), gradient);
    QFrame::paintEvent(event);
}

} // namespace tavimor
