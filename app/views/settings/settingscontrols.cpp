// SPDX-License-Identifier: GPL-3.0-or-later
#include "settingscontrols.h"

#include "systemcolors.h"
#include "textstyle.h"
#include "views/labels.h"

#include <QLabel>
#include <QVBoxLayout>

namespace SettingsControls {

QVBoxLayout *paneLayout(QWidget *pane)
{
    auto *layout = new QVBoxLayout(pane);
    layout->setContentsMargins(26, 26, 26, 26);
    layout->setSpacing(22);
    layout->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    return layout;
}

QVBoxLayout *addSection(QVBoxLayout *pane, const QString &title)
{
    QWidget *parent = pane->parentWidget();
    auto *section = new QVBoxLayout;
    section->setSpacing(10);
    QLabel *heading = plainLabel(title, parent);
    heading->setFont(TextStyle::relativeFont(parent->font(), 1.25, QFont::Bold));
    heading->setAccessibleName(title);
    section->addWidget(heading);
    pane->addLayout(section);
    return section;
}

QLabel *caption(const QString &text, QWidget *parent)
{
    QLabel *label = plainLabel(text, parent);
    label->setWordWrap(true);
    label->setMaximumWidth(500);
    setTextColor(label, SystemColors::secondaryText(parent->palette()));
    return label;
}

} // namespace SettingsControls
