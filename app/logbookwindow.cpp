// SPDX-License-Identifier: GPL-3.0-or-later
#include "logbookwindow.h"

#include "views/logbookview.h"

#include <QScreen>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

LogbookWindow::LogbookWindow(SightingLog *log, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_view(new LogbookView(log, this))
{
    setObjectName(u"logbook"_s);
    setWindowTitle(u"Logbook"_s);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    resize(560, 640);
}

void LogbookWindow::present(const QWidget *over)
{
    if (!isVisible()) {
        if (QScreen *target = over ? over->screen() : screen()) {
            const QRect available = target->availableGeometry();
            // The frame's size is unknown before the window is shown; leave room for it.
            const QSize frame = frameGeometry().size() - size();
            QRect placed(QPoint(), size().boundedTo(available.size() - frame));
            placed.moveCenter(available.center());
            setGeometry(placed);
        }
    }
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}
