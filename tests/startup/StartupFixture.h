// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Clock.h"
#include "gui/Shell.h"
#include "support/ProgramHarness.h"
#include "support/WindowFakes.h"

#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QWidget>
#include <functional>

namespace tavimor::test {

using namespace Qt::StringLiterals;

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

// The three ways to turn a dialog down without its OK button.
enum class Dismissal { CancelButton, Escape, CloseBox };
inline constexpr Dismissal kDismissals[] = {Dismissal::CancelButton, Dismissal::Escape, Dismissal::CloseBox};

inline void dismiss(QWidget* dialog, Dismissal way) {
    if (way == Dismissal::CancelButton)
        QTest::mouseClick(child<QPushButton>(dialog, "cmdCancel"), Qt::LeftButton);
    else if (way == Dismissal::Escape)
        QTest::keyClick(dialog, Qt::Key_Escape);
    else
        dialog->close();
}

struct StartupFixture : ProgramHarness {
    using ProgramHarness::ProgramHarness;
    QString setting(const char* key) const {
        return settings.read(QLatin1String(key), u"-"_s).value_or(u"failed"_s);
    }
};

} // namespace tavimor::test
