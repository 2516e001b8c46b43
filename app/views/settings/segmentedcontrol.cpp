// SPDX-License-Identifier: GPL-3.0-or-later
#include "segmentedcontrol.h"

#include "systemcolors.h"

#include <QButtonGroup>
#include <QEvent>
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
        if (i == 0)
            button->setProperty("segment", u"first"_s);
        else if (i == labels.size() - 1)
            button->setProperty("segment", u"last"_s);
        m_group->addButton(button, i);
        layout->addWidget(button);
    }
    layout->addStretch(1);
    connect(m_group, &QButtonGroup::idClicked, this, &SegmentedControl::picked);
    applyLook();
}

void SegmentedControl::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        applyLook();
    QWidget::changeEvent(event);
}

void SegmentedControl::applyLook()
{
    // The chosen segment filled with the accent, as a segmented control reads at a glance;
    // Fusion's sunken button alone is too faint, the more so greyed out. Colours are written
    // out rather than named by role so that they follow a change of palette.
    const QPalette p = palette();
    const auto css = [](const QColor &color) { return color.name(QColor::HexArgb); };
    const QColor text = p.color(QPalette::WindowText);
    const QColor accent = p.color(QPalette::Highlight);
    setStyleSheet(
        u"QToolButton { border: 1px solid %1; margin-left: -1px; padding: 3px 10px;"
        " background: %2; color: %3; }"
        " QToolButton[segment='first'] { border-top-left-radius: 5px;"
        " border-bottom-left-radius: 5px; margin-left: 0; }"
        " QToolButton[segment='last'] { border-top-right-radius: 5px;"
        " border-bottom-right-radius: 5px; }"
        " QToolButton:checked { background: %4; color: %5; }"
        " QToolButton:disabled { color: %6; }"
        " QToolButton:checked:disabled { background: %7; }"
        " QToolButton:focus { border-color: %4; }"_s.arg(css(SystemColors::withAlpha(text, 0.25)),
            css(p.color(QPalette::Button)), css(p.color(QPalette::ButtonText)), css(accent),
            css(p.color(QPalette::HighlightedText)), css(SystemColors::withAlpha(text, 0.35)),
            css(SystemColors::withAlpha(accent, 0.4))));
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
