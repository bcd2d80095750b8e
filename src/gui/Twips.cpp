// SPDX-License-Identifier: GPL-3.0-or-later
#include "Twips.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <cmath>

namespace tavimor {

namespace {
double logicalDpi(const QWidget* widget) {
    const QScreen* screen = widget && widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchX() : 96.0;
    return dpi > 0 ? dpi : 96.0;
}
} // namespace

int twipsToPixels(int twips, const QWidget* widget) {
    return int(std::lround(double(twips) * logicalDpi(widget) / 1440.0));
}

int pixelsToTwips(int pixels, const QWidget* widget) {
    return int(std::lround(double(pixels) * 1440.0 / logicalDpi(widget)));
}

void showWithOuterSize(QWidget* window, int widthTwips, int heightTwips) {
    const QSize outer(twipsToPixels(widthTwips, window), twipsToPixels(heightTwips, window));
    auto fit = [window, outer] {
        window->resize(outer - (window->frameGeometry().size() - window->size()));
    };
    fit();
    window->show();
    QElapsedTimer waited;
    waited.start();
    while (window->windowHandle() && !window->windowHandle()->isExposed() && waited.elapsed() < 400)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    fit();
}

} // namespace tavimor
