// SPDX-License-Identifier: GPL-3.0-or-later
#include "legendrow.h"

#include "systemcolors.h"
#include "textstyle.h"
#include "views/labels.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

LegendIcon::LegendIcon(Painter painter, QWidget *parent)
    : QWidget(parent)
    , m_painter(std::move(painter))
{
    setFixedSize(38, 32);
}

void LegendIcon::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    m_painter(&painter, QRectF(rect()));
}

void addLegendRow(
    QVBoxLayout *list, const QString &title, const QString &detail, LegendIcon::Painter icon)
{
    QWidget *parent = list->parentWidget();
    auto *row = new QWidget(parent);
    row->setObjectName(title);
    row->setAccessibleName(title + u": "_s + detail);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    auto *picture = new LegendIcon(std::move(icon), row);
    picture->setObjectName(u"icon"_s);
    layout->addWidget(picture, 0, Qt::AlignVCenter);
    auto *text = new QVBoxLayout;
    text->setSpacing(1);
    QLabel *heading = plainLabel(title, row);
    heading->setFont(TextStyle::relativeFont(row->font(), 1.0, QFont::Medium));
    text->addWidget(heading);
    QLabel *explanation = plainLabel(detail, row);
    explanation->setWordWrap(true);
    explanation->setFont(TextStyle::relativeFont(row->font(), 0.85));
    setTextColor(explanation, SystemColors::secondaryText(row->palette()));
    text->addWidget(explanation);
    layout->addLayout(text, 1);
    list->addWidget(row);
}
