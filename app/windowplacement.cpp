// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowplacement.h"

#include <QScreen>
#include <QWidget>

void presentWindow(QWidget *window, const QWidget *near)
{
    if (!window->isVisible()) {
        if (QScreen *target = near ? near->screen() : window->screen()) {
            const QRect available = target->availableGeometry();
            // The frame's size is unknown before the window is shown; leave room for it.
            const QSize frame = window->frameGeometry().size() - window->size();
            QRect placed(QPoint(), window->size().boundedTo(available.size() - frame));
            placed.moveCenter(available.center());
            window->setGeometry(placed);
        }
    }
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}
