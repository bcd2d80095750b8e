// SPDX-License-Identifier: GPL-3.0-or-later
#include "Win98Painter.h"

#include <QPainterPath>

const QColor Win98Painter::kFace(192, 192, 192);
const QColor Win98Painter::kDesktop(0, 128, 128);

Win98Painter::Win98Painter(QPainter& painter)
    : m_p(painter) {
    // The pictures are drawn and checked in Nimbus Sans (fonts-urw-base35): with whatever font a
    // machine happens to call Tahoma or Sans, the no-clipping check would measure another picture.
    m_font.setFamilies({QStringLiteral("Nimbus Sans"), QStringLiteral("Tahoma"),
                        QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                        QStringLiteral("DejaVu Sans")});
    m_font.setPixelSize(10);
    m_font.setHintingPreference(QFont::PreferFullHinting);
    // Windows 98 drew its text without smoothing; it also keeps the palette small.
    m_font.setStyleStrategy(QFont::NoAntialias);
    m_p.setFont(m_font);
}

int Win98Painter::lineHeight() const {
    return QFontMetrics(m_font).height();
}

int Win98Painter::textHeight(const QString& text, int width) const {
    return QFontMetrics(m_font).boundingRect(QRect(0, 0, width, 1000), Qt::TextWordWrap, text).height();
}

void Win98Painter::raised(const QRect& r) {
    covered(r);
    m_p.fillRect(r, kFace);
    m_p.setPen(Qt::white);
    m_p.drawLine(r.topLeft(), r.topRight() - QPoint(1, 0));
    m_p.drawLine(r.topLeft(), r.bottomLeft() - QPoint(0, 1));
    m_p.setPen(Qt::black);
    m_p.drawLine(r.bottomLeft(), r.bottomRight());
    m_p.drawLine(r.topRight(), r.bottomRight());
    m_p.setPen(QColor(128, 128, 128));
    m_p.drawLine(r.bottomLeft() + QPoint(1, -1), r.bottomRight() - QPoint(1, 1));
    m_p.drawLine(r.topRight() + QPoint(-1, 1), r.bottomRight() - QPoint(1, 1));
}

void Win98Painter::sunken(const QRect& r) {
    covered(r);
    m_p.fillRect(r, Qt::white);
    m_p.setPen(QColor(128, 128, 128));
    m_p.drawLine(r.topLeft(), r.topRight());
    m_p.drawLine(r.topLeft(), r.bottomLeft());
    m_p.setPen(Qt::black);
    m_p.drawLine(r.topLeft() + QPoint(1, 1), r.topRight() + QPoint(-1, 1));
    m_p.drawLine(r.topLeft() + QPoint(1, 1), r.bottomLeft() + QPoint(1, -1));
    m_p.setPen(Qt::white);
    m_p.drawLine(r.bottomLeft(), r.bottomRight());
    m_p.drawLine(r.topRight(), r.bottomRight());
}

void Win98Painter::etched(const QRect& r) {
    m_p.setPen(QColor(128, 128, 128));
    m_p.drawRect(r.adjusted(0, 0, -1, -1));
    m_p.setPen(Qt::white);
    m_p.drawRect(r.adjusted(1, 1, 0, 0));
}

void Win98Painter::window(const QRect& r, const QString& title) {
    raised(r);
    const QRect bar(r.left() + 3, r.top() + 3, r.width() - 6, 16);
    captionGradient(bar, Qt::Horizontal);
    QFont bold = m_font;
    bold.setBold(true);
    m_p.setFont(bold);
    text(bar.adjusted(4, 0, -20, 0), title, Qt::AlignLeft | Qt::AlignVCenter, Qt::white);
    m_p.setFont(m_font);
    const QRect close(bar.right() - 15, bar.top() + 2, 14, 12);
    raised(close);
    m_p.setPen(QPen(Qt::black, 1.5));
    m_p.drawLine(close.topLeft() + QPoint(4, 3), close.bottomRight() - QPoint(4, 3));
    m_p.drawLine(close.topRight() + QPoint(-4, 3), close.bottomLeft() + QPoint(4, -3));
}

void Win98Painter::captionGradient(const QRect& r, Qt::Orientation direction) {
    // In bands, as a 256-colour display showed it.
    const int bands = 24;
    const int length = direction == Qt::Horizontal ? r.width() : r.height();
    for (int i = 0; i < bands; ++i) {
        const int from = length * i / bands;
        const int to = length * (i + 1) / bands;
        const QColor colour(16 * i / (bands - 1), 132 * i / (bands - 1), 128 + 80 * i / (bands - 1));
        if (direction == Qt::Horizontal)
            m_p.fillRect(QRect(r.left() + from, r.top(), to - from, r.height()), colour);
        else
            m_p.fillRect(QRect(r.left(), r.bottom() - to + 1, r.width(), to - from), colour);
    }
}

void Win98Painter::button(const QRect& r, const QString& caption) {
    raised(r);
    text(r, caption, Qt::AlignCenter);
}

void Win98Painter::textBox(const QRect& r, const QString& content) {
    sunken(r);
    text(r.adjusted(3, 0, -2, 0), content);
}

void Win98Painter::checkBox(const QPoint& at, bool on, bool round) {
    const QRect box(at, QSize(11, 11));
    if (round) {
        m_p.setPen(QColor(128, 128, 128));
        m_p.setBrush(Qt::white);
        m_p.drawEllipse(box.adjusted(0, 0, -1, -1));
        if (on) {
            m_p.setBrush(Qt::black);
            m_p.drawEllipse(box.center(), 2, 2);
        }
        m_p.setBrush(Qt::NoBrush);
    } else {
        sunken(box);
        if (on) {
            m_p.setPen(QPen(Qt::black, 1.5));
            m_p.drawPolyline(QPolygon(
                {box.topLeft() + QPoint(2, 5), box.topLeft() + QPoint(4, 8), box.topLeft() + QPoint(8, 2)}));
        }
    }
    m_p.setRenderHint(QPainter::Antialiasing, false);
}

void Win98Painter::text(const QRect& r, const QString& content, int flags, const QColor& colour) {
    m_p.setPen(colour);
    QRect used;
    m_p.drawText(r, flags, content, &used);
    QRect room = r & QRect(0, 0, m_p.device()->width(), m_p.device()->height()).adjusted(1, 1, -1, -1);
    if (m_p.hasClipping())
        room &= m_p.clipBoundingRect().toAlignedRect();
    if (!content.trimmed().isEmpty() && !room.contains(used))
        m_clipped.append(content);
    m_drawnTexts.append({used, content});
}

void Win98Painter::icon(const QRect& r, const QString& name) {
    const QString n = name.toLower();
    const QRect g = QRect(0, 0, 22, 22);
    m_p.save();
    m_p.translate(r.center() - g.center());
    m_p.setPen(QPen(Qt::black, 1));
    if (n.contains(QLatin1String("printer"))) {
        m_p.setBrush(Qt::white);
        m_p.drawRect(6, 1, 10, 8);
        m_p.setBrush(kFace);
        m_p.drawRect(2, 8, 18, 9);
        m_p.setBrush(QColor(0, 160, 0));
        m_p.drawEllipse(15, 11, 3, 3);
    } else if (n.contains(QLatin1String("(a:)")) || n.contains(QLatin1String("floppy"))) {
        m_p.setBrush(QColor(60, 60, 60));
        m_p.drawRect(3, 3, 16, 16);
        m_p.setBrush(QColor(200, 200, 200));
        m_p.drawRect(7, 3, 8, 6);
        m_p.setBrush(Qt::white);
        m_p.drawRect(6, 12, 10, 7);
    } else if (n.contains(QLatin1String(":)"))) {
        const bool cd = n.contains(QLatin1String("cd"));
        m_p.setBrush(cd ? QColor(230, 230, 230) : kFace);
        m_p.drawRect(1, 8, 20, 8);
        m_p.setBrush(cd ? QColor(255, 200, 0) : QColor(0, 200, 0));
        m_p.drawRect(15, 11, 3, 2);
    } else if (n.contains(QLatin1String("recycle"))) {
        m_p.setBrush(QColor(200, 220, 220));
        m_p.drawPolygon(QPolygon({QPoint(4, 5), QPoint(18, 5), QPoint(16, 20), QPoint(6, 20)}));
        m_p.drawLine(8, 8, 9, 18);
        m_p.drawLine(14, 8, 13, 18);
    } else if (n.contains(QLatin1String("internet")) || n.contains(QLatin1String("explorer"))) {
        m_p.setBrush(QColor(40, 110, 220));
        m_p.drawEllipse(2, 2, 18, 18);
        m_p.setPen(QPen(QColor(255, 220, 0), 2));
        m_p.drawArc(0, 6, 22, 10, 0, 360 * 16);
        m_p.setPen(QPen(Qt::white, 1));
        m_p.drawText(QRect(2, 2, 18, 18), Qt::AlignCenter, QStringLiteral("e"));
    } else if (n.contains(QLatin1String("document")) || n.contains(QLatin1String("folder")) ||
               n.contains(QLatin1String("control panel"))) {
        m_p.setBrush(QColor(255, 220, 80));
        m_p.drawPolygon(QPolygon(
            {QPoint(1, 6), QPoint(8, 6), QPoint(10, 4), QPoint(20, 4), QPoint(20, 19), QPoint(1, 19)}));
    } else if (n.contains(QLatin1String("network")) || n.contains(QLatin1String("computer")) ||
               n.contains(QLatin1String("display")) || n.contains(QLatin1String("system"))) {
        const bool two = n.contains(QLatin1String("network"));
        for (int k = 0; k < (two ? 2 : 1); ++k) {
            const QPoint o = two ? QPoint(k * 8, k * 6 - 3) : QPoint(2, 0);
            m_p.setBrush(kFace);
            m_p.drawRect(QRect(o + QPoint(0, 2), QSize(14, 11)));
            m_p.setBrush(QColor(0, 128, 128));
            m_p.drawRect(QRect(o + QPoint(2, 4), QSize(10, 7)));
            m_p.setBrush(kFace);
            m_p.drawRect(QRect(o + QPoint(3, 14), QSize(8, 3)));
        }
    } else {
        // Any other applet: a tile in a colour of its own with its initial.
        const QColor colour = QColor::fromHsv(int(qHash(n) % 360), 160, 200);
        m_p.setBrush(colour);
        m_p.drawRoundedRect(3, 3, 16, 16, 3, 3);
        m_p.setPen(Qt::white);
        QFont bold = m_font;
        bold.setBold(true);
        m_p.setFont(bold);
        m_p.drawText(QRect(3, 3, 16, 16), Qt::AlignCenter, name.left(1).toUpper());
        m_p.setFont(m_font);
    }
    m_p.restore();
}

void Win98Painter::taskbar(const QRect& r) {
    m_p.fillRect(r, kFace);
    m_p.setPen(Qt::white);
    m_p.drawLine(r.topLeft(), r.topRight());
    const QRect start(r.left() + 2, r.top() + 3, 48, r.height() - 5);
    raised(start);
    QFont bold = m_font;
    bold.setBold(true);
    m_p.setFont(bold);
    QRect flag(start.left() + 4, start.top() + 4, 10, 9);
    m_p.fillRect(flag.adjusted(0, 0, -5, -4), QColor(220, 0, 0));
    m_p.fillRect(flag.adjusted(5, 0, 0, -4), QColor(0, 160, 0));
    m_p.fillRect(flag.adjusted(0, 5, -5, 0), QColor(0, 0, 220));
    m_p.fillRect(flag.adjusted(5, 5, 0, 0), QColor(240, 200, 0));
    text(start.adjusted(17, 0, 0, 0), QStringLiteral("Start"));
    m_p.setFont(m_font);
    const int clockWidth = QFontMetrics(m_font).horizontalAdvance(QStringLiteral("9:41 AM")) + 10;
    const QRect clock(r.right() - clockWidth - 2, r.top() + 3, clockWidth, r.height() - 5);
    m_p.setPen(QColor(128, 128, 128));
    m_p.drawRect(clock.adjusted(0, 0, -1, -1));
    text(clock, QStringLiteral("9:41 AM"), Qt::AlignCenter);
}

void Win98Painter::covered(const QRect& r) {
    m_drawnTexts.removeIf([&r](const auto& drawn) { return r.contains(drawn.first); });
}

void Win98Painter::gone(const QRect& r) {
    // The frame's sides must not cover the first or last letter of a text it marks.
    for (const auto& [used, content] : std::as_const(m_drawnTexts)) {
        const QRect beside = used & r;
        if (beside.height() * 2 <= used.height())
            continue;
        for (const int side : {r.left(), r.right()})
            if (used.left() < side + 2 && used.right() > side - 2)
                m_clipped.append(content + QStringLiteral(" (under a red frame)"));
    }
    m_p.fillRect(r, QColor(255, 255, 255, 110));
    m_p.setPen(QPen(QColor(208, 0, 0), 2, Qt::SolidLine, Qt::RoundCap));
    m_p.drawRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5));
    m_p.drawLine(r.topLeft(), r.bottomRight());
    m_p.drawLine(r.topRight(), r.bottomLeft());
    m_p.setRenderHint(QPainter::Antialiasing, false);
}

void Win98Painter::banned(const QRect& r) {
    const int side = qMin(r.width(), r.height()) * 3 / 4;
    const QRectF sign(r.center().x() - side / 2.0, r.center().y() - side / 2.0, side, side);
    m_p.setPen(QPen(QColor(208, 0, 0, 200), side / 9.0));
    m_p.setBrush(Qt::NoBrush);
    m_p.drawEllipse(sign);
    const double d = side / 2.0 * 0.7071;
    m_p.drawLine(QPointF(sign.center().x() - d, sign.center().y() - d),
                 QPointF(sign.center().x() + d, sign.center().y() + d));
    m_p.setRenderHint(QPainter::Antialiasing, false);
}
