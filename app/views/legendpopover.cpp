// SPDX-License-Identifier: GPL-3.0-or-later
#include "legendpopover.h"

#include "legend/applegend.h"
#include "legend/widgetlegend.h"
#include "textstyle.h"

#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

LegendPopover::LegendPopover(Preferences *preferences, QWidget *parent)
    : Popover(u"Legend"_s, 360, parent)
    , m_helpLink(new QPushButton(u"Full guide in Skyvelle Help"_s, this))
{
    setObjectName(u"legendPopover"_s);

    QVBoxLayout *column = titledColumn(14);
    // The two legends scroll when the screen below the button is shorter than they are, so
    // the popover never has to cover its own button.
    auto *legends = new QWidget;
    auto *stack = new QVBoxLayout(legends);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(14);
    stack->addWidget(new AppLegend(preferences, legends));
    stack->addWidget(new WidgetLegend(preferences, legends));
    m_scroll = new QScrollArea(this);
    m_scroll->setWidget(legends);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->viewport()->setAutoFillBackground(false);
    legends->setAutoFillBackground(false);
    column->addWidget(m_scroll, 1);
    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setForegroundRole(QPalette::Mid);
    column->addWidget(divider);

    m_helpLink->setFlat(true);
    m_helpLink->setCursor(Qt::PointingHandCursor);
    m_helpLink->setFont(TextStyle::relativeFont(font(), 0.85));
    m_helpLink->setStyleSheet(u"QPushButton { border: none; padding: 0; text-align: left; }"_s);
    QPalette link = m_helpLink->palette();
    link.setColor(QPalette::ButtonText, link.color(QPalette::Link));
    m_helpLink->setPalette(link);
    connect(m_helpLink, &QPushButton::clicked, this, [this] {
        close();
        Q_EMIT helpRequested();
    });
    column->addWidget(m_helpLink, 0, Qt::AlignLeft);
}

void LegendPopover::popup(QWidget *anchor)
{
    // The wrapped details need their height for the fixed width; adjustSize() would cap a
    // window at a share of the screen and squeeze them.
    layout()->activate();
    QWidget *legends = m_scroll->widget();
    const int legendsHeight = legends->layout()->totalHeightForWidth(m_scroll->viewport()->width());
    const int whole =
        layout()->totalHeightForWidth(width()) - m_scroll->sizeHint().height() + legendsHeight;
    showUnder(anchor, whole);
    m_helpLink->setFocus(Qt::PopupFocusReason);
}
