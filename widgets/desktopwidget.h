// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "linkregion.h"
#include "skyentry.h"
#include "widgetrender.h"

#include <QPoint>
#include <QWidget>

#include <functional>

/// One widget on the desktop: a frameless window of its family's size, below other windows, on
/// every workspace and out of the task bar, that paints its entry through WidgetRender. A click
/// opens the row's link, or the widget's; a press that moves beyond the drag distance moves the
/// window instead.
class DesktopWidget : public QWidget {
    Q_OBJECT
public:
    /// Opens a skyvelle:// link; the host passes QDesktopServices::openUrl.
    using Opener = std::function<bool(const QUrl &)>;

    DesktopWidget(const QString &kind, WidgetLayout layout, Opener opener);

    QString kind() const { return m_kind; }
    WidgetLayout layout() const { return m_layout; }
    const SkyEntry &entry() const { return m_entry; }
    /// Shows @p entry from now on.
    void setEntry(const SkyEntry &entry);

Q_SIGNALS:
    /// A drag ended: the position is worth remembering.
    void moved();
    void refreshRequested();
    void removeRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    QUrl linkAt(const QPointF &point) const;

    QString m_kind;
    WidgetLayout m_layout;
    Opener m_opener;
    SkyEntry m_entry;
    LinkRegions m_links;
    std::optional<QPoint> m_pressedAt; ///< global position of a left press not yet released
    QPoint m_positionAtPress;
    bool m_dragging = false;
};
