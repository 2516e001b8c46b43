// SPDX-License-Identifier: GPL-3.0-or-later
#include "logbookwindow.h"

#include "views/logbookview.h"
#include "windowplacement.h"

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
    presentWindow(this, over);
}
