// SPDX-License-Identifier: GPL-3.0-or-later
#include "PictureScene.h"

#include "Win98Painter.h"

#include <QJsonArray>

namespace {
QStringList strings(const QJsonValue& value) {
    QStringList list;
    for (const QJsonValue& v : value.toArray())
        list.append(v.toString());
    return list;
}
bool isGone(const QJsonObject& item, const QString& name) {
    return strings(item.value(QStringLiteral("gone"))).contains(name);
}
} // namespace

QImage PictureScene::render(const QSize& size) const {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Win98Painter::kDesktop);
    QPainter painter(&image);
    Win98Painter w(painter);
    const QString scene = m_d.value(QStringLiteral("scene")).toString(QStringLiteral("window"));
    const QRect area = image.rect();
    if (scene == QLatin1String("desktop"))
        drawDesktop(w, area);
    else if (scene == QLatin1String("startmenu"))
        drawStartMenu(w, area);
    else
        drawWindow(w, area);
    m_clipped = w.clippedTexts();
    return image;
}

void PictureScene::drawWindow(Win98Painter& w, const QRect& area) const {
    const QRect frame = area.adjusted(3, 3, -3, -3);
    w.window(frame, m_d.value(QStringLiteral("title")).toString());
    const QRect client = frame.adjusted(8, 24, -8, -6);
    QJsonArray items = m_d.value(QStringLiteral("items")).toArray();
    // A dialog's own buttons sit at its bottom edge, whatever the content above them.
    QJsonObject closing;
    if (!items.isEmpty() && items.last().toObject().contains(QStringLiteral("buttons")) &&
        !items.last().toObject().value(QStringLiteral("column")).toBool()) {
        closing = items.last().toObject();
        items.removeLast();
    }
    const int closingTop = client.bottom() - w.lineHeight() - 8;
    w.painter().save();
    w.painter().setClipRect(client.adjusted(-1, -1, 1, 1));
    int y = client.top();
    for (const QJsonValue& item : items)
        y += drawItem(w, item.toObject(), client.left(), y, client.width()) + 5;
    if (!closing.isEmpty())
        drawItem(w, closing, client.left(), closingTop, client.width());
    w.painter().restore();
    if (y - 5 > (closing.isEmpty() ? client.bottom() : closingTop - 3))
        m_overflow = true;
    if (m_d.value(QStringLiteral("banned")).toBool())
        w.banned(frame.adjusted(0, 20, 0, 0));
}

void PictureScene::drawDesktop(Win98Painter& w, const QRect& area) const {
    const QRect bar(area.left(), area.bottom() - 21, area.width(), 22);
    w.taskbar(bar);
    const QJsonArray items = m_d.value(QStringLiteral("items")).toArray();
    int y = area.top() + 6;
    for (const QJsonValue& value : items) {
        const QJsonObject item = value.toObject();
        if (item.contains(QStringLiteral("icons"))) {
            for (const QString& name : strings(item.value(QStringLiteral("icons")))) {
                const int textHeight = w.textHeight(name, 72);
                const QRect cell(area.left() + 3, y, 76, 26 + textHeight);
                w.icon(QRect(cell.left(), cell.top(), cell.width(), 24), name);
                w.text(QRect(cell.left() + 2, cell.top() + 24, 72, textHeight), name,
                       Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, Qt::white);
                if (isGone(item, name))
                    w.gone(cell);
                y += cell.height() + 4;
            }
        } else {
            const QRect note(area.left() + 86, area.top() + 10, area.width() - 92, 0);
            const int height =
                w.textHeight(item.value(QStringLiteral("label")).toString(), note.width() - 12) + 12;
            w.raised(QRect(note.topLeft(), QSize(note.width(), height)));
            w.text(QRect(note.left() + 6, note.top() + 6, note.width() - 12, height - 12),
                   item.value(QStringLiteral("label")).toString(),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap);
        }
    }
}

void PictureScene::drawStartMenu(Win98Painter& w, const QRect& area) const {
    const QRect bar(area.left(), area.bottom() - 21, area.width(), 22);
    w.taskbar(bar);
    const QJsonObject menu = m_d.value(QStringLiteral("menu")).toObject();
    const int rows = int(strings(menu.value(QStringLiteral("menu"))).size());
    const int height = rows * 20 + 6;
    int menuWidth = 128;
    for (const QString& entry : strings(menu.value(QStringLiteral("menu"))))
        menuWidth = qMax(menuWidth, QFontMetrics(w.font()).horizontalAdvance(entry) + 58);
    drawMenu(w, menu, QPoint(area.left() + 1, bar.top() - height), menuWidth, true);
    const QJsonObject sub = m_d.value(QStringLiteral("submenu")).toObject();
    if (!sub.isEmpty()) {
        const int at = int(strings(menu.value(QStringLiteral("menu")))
                               .indexOf(sub.value(QStringLiteral("from")).toString()));
        const int subRows = int(strings(sub.value(QStringLiteral("menu"))).size());
        int top = bar.top() - height + 3 + at * 20;
        top = qMin(top, bar.top() - (subRows * 20 + 6));
        // The cascade keeps to the picture: it overlaps the Start menu rather than being cut off.
        int width = 0;
        for (const QString& entry : strings(sub.value(QStringLiteral("menu"))))
            width = qMax(width, QFontMetrics(w.font()).horizontalAdvance(entry) + 22);
        width = qMin(width, area.width() - 4);
        const int left = qMin(area.left() + menuWidth - 4, area.right() - 1 - width);
        drawMenu(w, sub, QPoint(left, qMax(area.top() + 2, top)), width, false);
    }
}

int PictureScene::drawMenu(Win98Painter& w, const QJsonObject& item, QPoint at, int width, bool band) const {
    const QStringList entries = strings(item.value(QStringLiteral("menu")));
    const int row = band ? 20 : 17;
    const QRect frame(at, QSize(width, int(entries.size()) * row + 6));
    w.raised(frame);
    int left = frame.left() + 3;
    if (band) {
        const QRect side(frame.left() + 3, frame.top() + 3, 18, frame.height() - 6);
        w.captionGradient(side, Qt::Vertical);
        w.painter().save();
        w.painter().translate(side.left() + 14, side.bottom() - 4);
        w.painter().rotate(-90);
        QFont bold = w.font();
        bold.setBold(true);
        bold.setPixelSize(13);
        w.painter().setFont(bold);
        w.painter().setPen(Qt::white);
        w.painter().drawText(0, 0, QStringLiteral("Windows98"));
        w.painter().restore();
        w.painter().setFont(w.font());
        left = side.right() + 2;
    }
    const QString open = item.value(QStringLiteral("open")).toString();
    int y = frame.top() + 3;
    for (const QString& entry : entries) {
        const QRect line(left, y, frame.right() - 3 - left, row);
        if (entry == QLatin1String("-")) {
            w.painter().setPen(QColor(128, 128, 128));
            w.painter().drawLine(line.left() + 2, line.center().y(), line.right() - 2, line.center().y());
            w.painter().setPen(Qt::white);
            w.painter().drawLine(line.left() + 2, line.center().y() + 1, line.right() - 2,
                                 line.center().y() + 1);
        } else {
            const bool highlighted = entry == open;
            if (highlighted)
                w.painter().fillRect(line, QColor(0, 0, 128));
            if (band)
                w.icon(QRect(line.left(), line.top(), 22, row), entry);
            const bool more = item.value(QStringLiteral("more")).toArray().contains(entry);
            w.text(line.adjusted(band ? 25 : 8, 0, more ? -10 : -1, 0), entry,
                   Qt::AlignLeft | Qt::AlignVCenter, highlighted ? Qt::white : Qt::black);
            if (more)
                w.text(line.adjusted(0, 0, -3, 0), QStringLiteral("\u25B8"),
                       Qt::AlignRight | Qt::AlignVCenter, highlighted ? Qt::white : Qt::black);
            if (isGone(item, entry))
                w.gone(line.adjusted(1, 1, -1, -1));
        }
        y += row;
    }
    return frame.height();
}

int PictureScene::drawItem(Win98Painter& w, const QJsonObject& item, int x, int y, int width) const {
    const int line = w.lineHeight();
    const bool allGone = item.value(QStringLiteral("gone")).toBool();
    int height = 0;
    if (item.contains(QStringLiteral("tabs"))) {
        // Tabs that do not fit wrap into rows, as Windows does.
        const QStringList tabs = strings(item.value(QStringLiteral("tabs")));
        const QFontMetrics metrics(w.font());
        int tx = x, ty = y;
        for (const QString& tab : tabs) {
            const int tw = metrics.horizontalAdvance(tab) + 10;
            if (tx + tw > x + width) {
                tx = x;
                ty += line + 5;
            }
            const QRect r(tx, ty, tw, line + 5);
            w.raised(r.adjusted(0, 0, 0, 2));
            w.text(r, tab, Qt::AlignCenter);
            if (isGone(item, tab))
                w.gone(r.adjusted(1, 1, -1, -1));
            tx += tw;
        }
        height = ty - y + line + 5;
        w.painter().setPen(Qt::white);
        w.painter().drawLine(x, y + height, x + width, y + height);
    } else if (item.contains(QStringLiteral("icons"))) {
        const QStringList icons = strings(item.value(QStringLiteral("icons")));
        const QFontMetrics metrics(w.font());
        int widestWord = 0;
        for (const QString& name : icons)
            for (const QString& word : name.split(QLatin1Char(' ')))
                widestWord = qMax(widestWord, metrics.horizontalAdvance(word));
        const int columns = qBound(1, (width - 4) / (widestWord + 4), int(icons.size()));
        const int cw = (width - 4) / columns;
        QList<int> rowHeights;
        for (int i = 0; i < icons.size(); ++i) {
            const int h = 24 + w.textHeight(icons[i], cw - 4);
            if (i % columns == 0)
                rowHeights.append(h);
            else
                rowHeights.last() = qMax(rowHeights.last(), h);
        }
        height = 6;
        for (const int h : rowHeights)
            height += h + 2;
        w.sunken(QRect(x, y, width, height));
        int top = y + 4;
        for (int i = 0; i < icons.size(); ++i) {
            const int rowHeight = rowHeights[i / columns];
            const QRect cell(x + 2 + (i % columns) * cw, top, cw, rowHeight);
            w.icon(QRect(cell.left(), cell.top(), cell.width(), 22), icons[i]);
            w.text(QRect(cell.left() + 2, cell.top() + 22, cell.width() - 4, rowHeight - 22), icons[i],
                   Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap);
            if (isGone(item, icons[i]))
                w.gone(cell.adjusted(0, 0, -1, 0));
            if (i % columns == columns - 1)
                top += rowHeight + 2;
        }
    } else if (item.contains(QStringLiteral("monitor"))) {
        const QRect screen(x + width / 2 - 36, y, 72, 48);
        w.raised(screen);
        w.painter().fillRect(screen.adjusted(7, 7, -7, -9), Win98Painter::kDesktop);
        w.raised(QRect(screen.center().x() - 20, screen.bottom() + 1, 40, 6));
        height = 56;
    } else if (item.contains(QStringLiteral("group"))) {
        const QString caption = item.value(QStringLiteral("group")).toString();
        w.etched(QRect(x, y + line / 2, width, 2));
        const int tw = QFontMetrics(w.font()).horizontalAdvance(caption) + 6;
        w.painter().fillRect(QRect(x + 6, y, tw, line), Win98Painter::kFace);
        w.text(QRect(x + 9, y, tw, line), caption);
        height = line;
        if (allGone)
            w.gone(QRect(x + 6, y, tw, line));
    } else if (item.contains(QStringLiteral("label"))) {
        const QString text = item.value(QStringLiteral("label")).toString();
        height = w.textHeight(text, width - 3);
        w.text(QRect(x + 3, y, width - 3, height), text, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap);
        if (allGone)
            w.gone(QRect(x, y, width, height));
    } else if (item.contains(QStringLiteral("field"))) {
        const QString label = item.value(QStringLiteral("field")).toString();
        const bool above = item.value(QStringLiteral("above")).toBool();
        const int lw = above ? 0 : QFontMetrics(w.font()).horizontalAdvance(label) + 9;
        if (above) {
            w.text(QRect(x + 3, y, width - 6, line), label);
            y += line + 1;
        } else {
            w.text(QRect(x + 3, y, lw - 3, line + 6), label);
        }
        const QRect box(x + lw, y, width - lw, line + 6);
        w.textBox(box, item.value(QStringLiteral("value")).toString());
        height = (above ? line + 1 : 0) + line + 6;
        if (allGone)
            w.gone(above ? QRect(x, y - line - 1, width, height) : QRect(x, y, width, line + 6));
    } else if (item.contains(QStringLiteral("check")) || item.contains(QStringLiteral("radio"))) {
        const bool round = item.contains(QStringLiteral("radio"));
        const QString text = item.value(round ? QStringLiteral("radio") : QStringLiteral("check")).toString();
        const int th = w.textHeight(text, width - 19);
        w.checkBox(QPoint(x, y + 1), item.value(QStringLiteral("on")).toBool(), round);
        w.text(QRect(x + 16, y, width - 19, th), text, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap);
        height = qMax(th, 13);
        if (allGone)
            w.gone(QRect(x - 1, y - 1, width + 2, height + 2));
    } else if (item.contains(QStringLiteral("buttons"))) {
        const QStringList buttons = strings(item.value(QStringLiteral("buttons")));
        const bool column = item.value(QStringLiteral("column")).toBool();
        const int bh = line + 8;
        const QFontMetrics metrics(w.font());
        if (column) {
            for (int i = 0; i < buttons.size(); ++i) {
                const int bw = qMin(width, qMax(110, metrics.horizontalAdvance(buttons[i]) + 16));
                const QRect r(x + (width - bw) / 2, y + i * (bh + 4), bw, bh);
                w.button(r, buttons[i]);
                if (isGone(item, buttons[i]))
                    w.gone(r);
            }
            height = int(buttons.size()) * (bh + 4) - 4;
        } else {
            QList<int> widths;
            int total = 0;
            for (const QString& caption : buttons) {
                widths.append(qMax(50, metrics.horizontalAdvance(caption) + 12));
                total += widths.last() + 4;
            }
            // Too many for one row: share the width out evenly, as a narrow dialog would.
            if (total - 4 > width) {
                for (int& bw : widths)
                    bw = (width + 4) / int(buttons.size()) - 4;
            }
            int bx = x + width;
            for (int i = int(buttons.size()) - 1; i >= 0; --i) {
                bx -= widths[i];
                const QRect r(bx, y, widths[i], bh);
                w.button(r, buttons[i]);
                if (isGone(item, buttons[i]))
                    w.gone(r);
                bx -= 4;
            }
            height = bh;
        }
    } else if (item.contains(QStringLiteral("list"))) {
        const QStringList entries = strings(item.value(QStringLiteral("list")));
        const QString selected = item.value(QStringLiteral("selected")).toString();
        height = int(entries.size()) * (line + 2) + 6;
        w.sunken(QRect(x, y, width, height));
        for (int i = 0; i < entries.size(); ++i) {
            const QRect r(x + 3, y + 3 + i * (line + 2), width - 6, line + 2);
            if (entries[i] == selected)
                w.painter().fillRect(r, QColor(0, 0, 128));
            w.text(r.adjusted(3, 0, 0, 0), entries[i], Qt::AlignLeft | Qt::AlignVCenter,
                   entries[i] == selected ? Qt::white : Qt::black);
            if (isGone(item, entries[i]))
                w.gone(r);
        }
    } else if (item.contains(QStringLiteral("menu"))) {
        height = drawMenu(w, item, QPoint(x + item.value(QStringLiteral("indent")).toInt(), y),
                          width - item.value(QStringLiteral("indent")).toInt(), false);
    } else if (item.contains(QStringLiteral("menubar"))) {
        const QStringList entries = strings(item.value(QStringLiteral("menubar")));
        const QFontMetrics metrics(w.font());
        int mx = x;
        for (const QString& entry : entries) {
            const QRect r(mx, y, metrics.horizontalAdvance(entry) + 8, line + 4);
            w.text(r, entry, Qt::AlignCenter);
            if (isGone(item, entry))
                w.gone(r);
            mx += r.width();
        }
        height = line + 4;
    } else if (item.contains(QStringLiteral("notice"))) {
        const QString text = item.value(QStringLiteral("notice")).toString();
        const int th = qMax(28, w.textHeight(text, width - 38));
        w.painter().setBrush(QColor(220, 0, 0));
        w.painter().setPen(Qt::black);
        w.painter().drawEllipse(QRect(x + 2, y + 2, 26, 26));
        w.painter().setPen(QPen(Qt::white, 3));
        w.painter().drawLine(x + 10, y + 10, x + 20, y + 20);
        w.painter().drawLine(x + 20, y + 10, x + 10, y + 20);
        w.painter().setBrush(Qt::NoBrush);
        w.text(QRect(x + 36, y, width - 38, th), text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap);
        height = th;
    } else if (item.contains(QStringLiteral("space"))) {
        height = item.value(QStringLiteral("space")).toInt();
    }
    return height;
}
