// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktopwidget.h"

#include "skyvellewidgetbundle.h"
#include "x11desktop.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

using namespace Qt::StringLiterals;

DesktopWidget::DesktopWidget(const QString &kind, WidgetLayout layout, Opener opener)
    : QWidget(nullptr,
        Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint
            | Qt::WindowDoesNotAcceptFocus)
    , m_kind(kind)
    , m_layout(layout)
    , m_opener(std::move(opener))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(WidgetRender::size(layout).toSize());
    const WidgetKind *described = SkyvelleWidgetBundle::find(kind);
    setWindowTitle(described ? described->displayName : kind);
    setAccessibleName(windowTitle());
    setAccessibleDescription(described ? described->description : QString());
    if (!X11Desktop::hasCompositor() && QGuiApplication::platformName() == u"xcb"_s) {
        // Nothing blends the transparent corners with the desktop: cut them off instead.
        QPainterPath outline;
        outline.addRoundedRect(rect(), WidgetRender::cornerRadius, WidgetRender::cornerRadius);
        setMask(QRegion(outline.toFillPolygon().toPolygon()));
    }
    winId();
    X11Desktop::keepOnAllWorkspaces(this);
}

void DesktopWidget::setEntry(const SkyEntry &entry)
{
    m_entry = entry;
    update();
}

void DesktopWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    m_links = WidgetRender::paint(&painter, m_layout, m_entry);
}

void DesktopWidget::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_pressedAt = event->globalPosition().toPoint();
    m_positionAtPress = pos();
    m_dragging = false;
}

void DesktopWidget::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_pressedAt)
        return;
    const QPoint travel = event->globalPosition().toPoint() - *m_pressedAt;
    if (!m_dragging && travel.manhattanLength() < QApplication::startDragDistance())
        return;
    m_dragging = true;
    move(m_positionAtPress + travel);
}

void DesktopWidget::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_pressedAt)
        return;
    m_pressedAt.reset();
    if (m_dragging) {
        m_dragging = false;
        Q_EMIT moved();
        return;
    }
    const QUrl link = linkAt(event->position());
    // Only the application's own links: a widget never opens anything else.
    if (link.scheme() == u"skyvelle"_s)
        m_opener(link);
}

void DesktopWidget::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu;
    connect(
        menu.addAction(u"Refresh"_s), &QAction::triggered, this, &DesktopWidget::refreshRequested);
    connect(menu.addAction(u"Remove"_s), &QAction::triggered, this, &DesktopWidget::removeRequested,
        Qt::QueuedConnection);
    menu.exec(event->globalPos());
}

QUrl DesktopWidget::linkAt(const QPointF &point) const
{
    for (const LinkRegion &region : m_links) {
        if (region.rect.contains(point))
            return region.url;
    }
    return WidgetRender::tapLink(m_layout, m_entry);
}
