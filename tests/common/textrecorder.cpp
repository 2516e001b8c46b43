// SPDX-License-Identifier: GPL-3.0-or-later
#include "textrecorder.h"

TextRecorder::TextRecorder(const QSizeF &size)
    : m_size(size.toSize())
{
}

QStringList TextRecorder::texts() const
{
    QStringList result;
    for (const Item &item : items())
        result.append(item.text);
    return result;
}

std::optional<TextRecorder::Item> TextRecorder::find(const QString &text) const
{
    for (const Item &item : items()) {
        if (item.text == text)
            return item;
    }
    return std::nullopt;
}

int TextRecorder::metric(PaintDeviceMetric metric) const
{
    switch (metric) {
    case PdmWidth:
        return m_size.width();
    case PdmHeight:
        return m_size.height();
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
        return 96;
    case PdmDepth:
        return 32;
    case PdmDevicePixelRatio:
        return 1;
    case PdmDevicePixelRatioScaled:
        return int(devicePixelRatioFScale());
    default:
        return QPaintDevice::metric(metric);
    }
}

TextRecorder::Engine::Engine()
    : QPaintEngine(QPaintEngine::AllFeatures)
{
}

void TextRecorder::Engine::drawTextItem(const QPointF &p, const QTextItem &item)
{
    items.append({ item.text(), state->transform().map(p), state->pen().color() });
}
