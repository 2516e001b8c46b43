// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/aircraftrow.h"

#include "preferences.h"
#include "views/aircraftlistmodel.h"

#include <QApplication>
#include <QStyle>
#include <QStyleOptionViewItem>

AircraftRow::AircraftRow(Preferences *preferences, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_preferences(preferences)
{
}

AircraftRowStyle AircraftRow::style(const Preferences &preferences)
{
    return { preferences.textScale(), preferences.colorByAltitude(), preferences.planeColorHex(),
        preferences.distanceUnitText() };
}

const AircraftRowPainter &AircraftRow::rowPainter() const
{
    m_painter.setStyle(style(*m_preferences));
    return m_painter;
}

QSize AircraftRow::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    return QSize(
        option.rect.width() > 0 ? option.rect.width() : 270, rowPainter().rowHeight(option.font));
}

void AircraftRow::paint(
    QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    // Selection and hover backgrounds as the style draws them for any list.
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &option, painter, widget);
    const auto aircraft = index.data(AircraftListModel::AircraftRole).value<Aircraft>();
    rowPainter().paint(painter, option.rect, aircraft, option.palette,
        option.state.testFlag(QStyle::State_Selected), option.font);
}
