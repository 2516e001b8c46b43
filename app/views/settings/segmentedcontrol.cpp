// SPDX-License-Identifier: GPL-3.0-or-later
#include "segmentedcontrol.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QToolButton>

using namespace Qt::StringLiterals;

SegmentedControl::SegmentedControl(
    const QStringList &labels, const QString &accessibleName, QWidget *parent)
    : QWidget(parent)
    , m_group(new QButtonGroup(this))
{
    setAccessibleName(accessibleName);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i < labels.size(); ++i) {
        auto *button = new QToolButton(this);
        button->setText(labels.at(i));
        button->setAccessibleName(labels.at(i));
        button->setCheckable(true);
        button->setAutoRaise(false);
        button->setFocusPolicy(Qt::StrongFocus);
        button->setMinimumHeight(24);
        m_group->addButton(button, i);
        layout->addWidget(button);
    }
    layout->addStretch(1);
    connect(m_group, &QButtonGroup::idClicked, this, &SegmentedControl::picked);
}

int SegmentedControl::currentIndex() const
{
    return m_group->checkedId();
}

void SegmentedControl::setCurrentIndex(int index)
{
    if (index < 0) {
        // An exclusive group never lets the last button go off on its own.
        m_group->setExclusive(false);
        for (QAbstractButton *button : m_group->buttons())
            button->setChecked(false);
        m_group->setExclusive(true);
        return;
    }
    if (QAbstractButton *chosen = m_group->button(index))
        chosen->setChecked(true);
}

QAbstractButton *SegmentedControl::button(int index) const
{
    return m_group->button(index);
}
