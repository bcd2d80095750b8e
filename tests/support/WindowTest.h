// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ProgramHarness.h"
#include "WindowFakes.h"

#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace tavimor::test {

inline QStringList texts(std::initializer_list<const char*> list) {
    QStringList result;
    for (const char* text : list)
        result.append(QString::fromUtf8(text));
    return result;
}

template <typename T> T* child(QWidget* window, const char* name) {
    T* found = window->findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}
inline void press(QWidget* window, const char* button) {
    QTest::mouseClick(child<QPushButton>(window, button), Qt::LeftButton);
}
// Runs f on the next turn of the event loop, once the modal dialog is up.
inline void whenShown(std::function<void()> f) {
    QTimer::singleShot(0, std::move(f));
}

using Message = ScriptedPrompter::Message;
// How QCOMPARE shows a message that differs.
inline char* toString(const Message& m) {
    return QTest::toString(
        u"%1 [%2, icon %3, buttons %4]"_s.arg(m.text, m.title).arg(int(m.icon)).arg(int(m.buttons)));
}

// The three ways to turn a dialog down without its OK button.
enum class Dismissal { CancelButton, Escape, CloseBox };
inline constexpr Dismissal kDismissals[] = {Dismissal::CancelButton, Dismissal::Escape, Dismissal::CloseBox};

inline void dismiss(QWidget* dialog, Dismissal way) {
    if (way == Dismissal::CancelButton)
        press(dialog, "cmdCancel");
    else if (way == Dismissal::Escape)
        QTest::keyClick(dialog, Qt::Key_Escape);
    else
        dialog->close();
}

} // namespace tavimor::test
