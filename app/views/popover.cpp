// SPDX-License-Identifier: GPL-3.0-or-later
#include "popover.h"

#include "labels.h"
#include "textstyle.h"

#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

Popover::Popover(const QString &accessibleName, int width, QWidget *parent)
    : QFrame(parent, Qt::Popup)
{
    // The press on the button that closed it must not reach the button and reopen it.
    setAttribute(Qt::WA_NoMouseReplay);
    setAccessibleName(accessibleName);
    setFrameShape(QFrame::StyledPanel);
    setFixedWidth(width);
}

QVBoxLayout *Popover::titledColumn(int spacing)
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(spacing);
    QLabel *heading = plainLabel(accessibleName(), this);
    heading->setFont(TextStyle::relativeFont(font(), 1.0, QFont::Bold));
    column->addWidget(heading);
    return column;
}

void Popover::toggle(QWidget *anchor)
{
    if (isVisible())
        close();
    else
        popup(anchor);
}

void Popover::showUnder(QWidget *anchor, int height)
{
    QPoint at = anchor->mapToGlobal(QPoint(anchor->width() / 2 - width() / 2, anchor->height()));
    if (const QScreen *screen = anchor->screen()) {
        const QRect free = screen->availableGeometry();
        height = std::min(height, free.bottom() - at.y());
        at.setX(std::clamp(at.x(), free.left(), std::max(free.left(), free.right() - width())));
    }
    resize(width(), height);
    move(at);
    show();
}

void Popover::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QFrame::keyPressEvent(event);
}
