// SPDX-License-Identifier: GPL-3.0-or-later
#include "swatchrow.h"

#include "colorswatch.h"
#include "hexcolor.h"

#include <QColorDialog>
#include <QHBoxLayout>

using namespace Qt::StringLiterals;

SwatchRow::SwatchRow(const QStringList &presets, const QString &fallbackHex, QWidget *parent)
    : QWidget(parent)
    , m_presets(presets)
    , m_fallbackHex(fallbackHex)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    for (const QString &preset : presets) {
        auto *swatch = new ColorSwatch(HexColor::color(preset).value_or(Qt::gray), this);
        swatch->setAccessibleName(u"Preset color "_s + preset);
        swatch->setToolTip(preset);
        connect(swatch, &ColorSwatch::clicked, this, [this, preset] { Q_EMIT picked(preset); });
        m_swatches.append(swatch);
        layout->addWidget(swatch);
    }
    layout->addSpacing(8);
    // Made after the presets, so that Tab reaches it last.
    m_custom = new ColorSwatch(QColor(), this);
    m_custom->setAccessibleName(u"Custom color"_s);
    m_custom->setToolTip(u"Custom color"_s);
    connect(m_custom, &ColorSwatch::clicked, this, &SwatchRow::pickCustom);
    layout->addWidget(m_custom);
    layout->addStretch(1);
}

void SwatchRow::setCurrent(const QString &hex)
{
    m_current = hex;
    for (int i = 0; i < m_swatches.size(); ++i)
        m_swatches.at(i)->setCurrent(m_presets.at(i) == hex);
}

void SwatchRow::pickCustom()
{
    const QColor start =
        HexColor::color(m_current).value_or(HexColor::color(m_fallbackHex).value_or(Qt::gray));
    const QColor chosen = QColorDialog::getColor(start, window(), u"Custom color"_s);
    if (chosen.isValid())
        Q_EMIT picked(HexColor::hexString(chosen).value_or(m_fallbackHex));
}
