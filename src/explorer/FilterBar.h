// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QToolBar>

class QLineEdit;

namespace tavimor {

// The filter box over the list: Ctrl+F shows it and puts the caret in it, Escape empties and hides
// it. textChanged reports what to narrow the list to ("" for the chosen section again).
class FilterBar : public QToolBar {
    Q_OBJECT
public:
    explicit FilterBar(QWidget* parent = nullptr);

    QString text() const;
    QLineEdit* edit() const { return m_edit; }
    void open();
    void clear();

signals:
    void textChanged(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_edit = nullptr;
};

} // namespace tavimor
