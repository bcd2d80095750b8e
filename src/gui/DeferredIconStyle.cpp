// SPDX-License-Identifier: GPL-3.0-or-later
#include "DeferredIconStyle.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPointer>
#include <QStyleFactory>
#include <QStyleOption>
#include <QWidget>
#include <optional>

namespace tavimor {

namespace {

// Asks the style for the picture the first time anything wants more of it than that it exists.
class DeferredIconEngine : public QIconEngine {
public:
    DeferredIconEngine(const QStyle* style, QStyle::StandardPixmap which, const QStyleOption* option,
                       const QWidget* widget)
        : m_style(style)
        , m_which(which)
        , m_widget(widget) {
        // The overflow pictures are told apart by the direction alone, which the base option holds.
        if (option)
            m_option = *option;
    }

    QIconEngine* clone() const override { return new DeferredIconEngine(*this); }
    QString key() const override { return QStringLiteral("DeferredIconEngine"); }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    // Sizes here are device pixels: the icon asked is told a ratio of 1, so it does not scale again.
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().pixmap(size, 1.0, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return pixmap(size, mode, state).size();
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return icon().availableSizes(mode, state);
    }
    QString iconName() override { return icon().name(); }
    bool isNull() override { return icon().isNull(); }

private:
    const QIcon& icon() {
        if (!m_loaded) {
            m_loaded = true;
            // The style may have gone with a change of style, the widget with its window.
            if (m_style)
                m_icon = m_style->standardIcon(m_which, m_option ? &*m_option : nullptr, m_widget);
        }
        return m_icon;
    }

    QPointer<const QStyle> m_style;
    QStyle::StandardPixmap m_which;
    std::optional<QStyleOption> m_option;
    QPointer<const QWidget> m_widget;
    bool m_loaded = false;
    QIcon m_icon;
};

} // namespace

void DeferredIconStyle::install() {
    // A style the factory cannot make again (set by a plugin of its own) is left as it is.
    if (QStyle* base = QStyleFactory::create(QApplication::style()->name()))
        QApplication::setStyle(new DeferredIconStyle(base));
}

QIcon DeferredIconStyle::standardIcon(StandardPixmap which, const QStyleOption* option,
                                      const QWidget* widget) const {
    if (which != SP_ToolBarHorizontalExtensionButton && which != SP_ToolBarVerticalExtensionButton)
        return QProxyStyle::standardIcon(which, option, widget);
    return QIcon(new DeferredIconEngine(baseStyle(), which, option, widget));
}

} // namespace tavimor
