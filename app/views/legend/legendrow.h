// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <functional>

class QVBoxLayout;

// The 38 × 32 picture at the start of a legend row, painted by the renderer of what it
// explains so that it matches the map or the widget.
class LegendIcon : public QWidget {
    Q_OBJECT
public:
    using Painter = std::function<void(QPainter *painter, const QRectF &frame)>;

    LegendIcon(Painter painter, QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Painter m_painter;
};

// Appends one legend row to @p list: the icon, then the title in medium weight over the
// detail in small secondary text, wrapped. Screen readers read it as one element, named by
// the title and the detail. The row's object name is its title.
void addLegendRow(
    QVBoxLayout *list, const QString &title, const QString &detail, LegendIcon::Painter icon);
