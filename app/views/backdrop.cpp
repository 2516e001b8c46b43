// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/backdrop.h"

#include "material.h"

#include <QPainterPath>
#include <QWidget>

void Backdrop::paintPlate(QPainter *painter, const QWidget *widget, const QPainterPath &shape)
{
    const QRect area = shape.boundingRect().toAlignedRect().intersected(widget->rect());
    QImage picture;
    for (const QWidget *host = widget->parentWidget(); host; host = host->parentWidget()) {
        if (const auto *backdrop = dynamic_cast<const Backdrop *>(host)) {
            picture = backdrop->behind(area.translated(widget->mapTo(host, QPoint())));
            break;
        }
    }
    Material::paint(painter, shape, picture, area, widget->palette().color(QPalette::Window));
}
