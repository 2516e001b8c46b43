// SPDX-License-Identifier: GPL-3.0-or-later
#include "spritecanvas.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// x × a / 255 on each of the four channels at once.
inline quint32 byteMultiply(quint32 x, quint32 a)
{
    quint32 t = (x & 0xff00ff) * a;
    t = (t + ((t >> 8) & 0xff00ff) + 0x800080) >> 8;
    t &= 0xff00ff;
    x = ((x >> 8) & 0xff00ff) * a;
    x = x + ((x >> 8) & 0xff00ff) + 0x800080;
    x &= 0xff00ff00;
    return x | t;
}

inline quint32 sourceOver(quint32 source, quint32 target)
{
    return source + byteMultiply(target, 255 - (source >> 24));
}

// Premultiplied source-over along a row.
void blendRow(const quint32 *source, quint32 *target, int count)
{
    int x = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i full = _mm_set1_epi16(255);
    const __m128i half = _mm_set1_epi16(0x80);
    for (; x + 4 <= count; x += 4) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i *>(source + x));
        const __m128i alphas = _mm_srli_epi32(s, 24);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(alphas, zero)) == 0xffff)
            continue; // four transparent pixels
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(alphas, _mm_set1_epi32(255))) == 0xffff) {
            _mm_storeu_si128(reinterpret_cast<__m128i *>(target + x), s); // four opaque ones
            continue;
        }
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i *>(target + x));
        // 255 − alpha of each pixel, spread over its four 16-bit channels.
        __m128i inverse = _mm_sub_epi16(full, alphas);
        inverse = _mm_shufflelo_epi16(inverse, _MM_SHUFFLE(2, 2, 0, 0));
        inverse = _mm_shufflehi_epi16(inverse, _MM_SHUFFLE(2, 2, 0, 0));
        const __m128i low = _mm_unpacklo_epi32(inverse, inverse);
        const __m128i high = _mm_unpackhi_epi32(inverse, inverse);
        const auto multiply = [&](__m128i channels, __m128i factor) {
            __m128i t = _mm_add_epi16(_mm_mullo_epi16(channels, factor), half);
            t = _mm_add_epi16(t, _mm_srli_epi16(t, 8));
            return _mm_srli_epi16(t, 8);
        };
        const __m128i dl = multiply(_mm_unpacklo_epi8(d, zero), low);
        const __m128i dh = multiply(_mm_unpackhi_epi8(d, zero), high);
        _mm_storeu_si128(
            reinterpret_cast<__m128i *>(target + x), _mm_add_epi8(s, _mm_packus_epi16(dl, dh)));
    }
#endif
    for (; x < count; ++x)
        target[x] = sourceOver(source[x], target[x]);
}

} // namespace

SpriteCanvas::Sprite::Sprite(QImage image)
    : m_image(std::move(image))
{
    if (m_image.format() != QImage::Format_ARGB32_Premultiplied)
        m_image.convertTo(QImage::Format_ARGB32_Premultiplied);
    // The last faint fringe of a shadow is invisible, and only makes the rows longer.
    for (int y = 0; y < m_image.height(); ++y) {
        auto *row = reinterpret_cast<quint32 *>(m_image.scanLine(y));
        for (int x = 0; x < m_image.width(); ++x) {
            if (qAlpha(row[x]) < 3)
                row[x] = 0;
        }
    }
    m_rows.resize(m_image.height());
    for (int y = 0; y < m_image.height(); ++y) {
        const auto *row = reinterpret_cast<const quint32 *>(m_image.constScanLine(y));
        int first = 0;
        int last = m_image.width();
        while (first < last && qAlpha(row[first]) == 0)
            ++first;
        while (last > first && qAlpha(row[last - 1]) == 0)
            --last;
        m_rows[y] = QPoint(first, last);
    }
    m_bits = m_image.constBits();
    m_width = m_image.width();
    m_stride = m_image.bytesPerLine();
}

void SpriteCanvas::takeBits()
{
    m_bits = m_image.bits();
    m_width = m_image.width();
    m_top = 0;
    m_bottom = m_image.height();
    m_stride = m_image.bytesPerLine();
}

void SpriteCanvas::reset(const QSize &size, qreal devicePixelRatio)
{
    prepare(restart(size, devicePixelRatio));
}

SpriteCanvas::Start SpriteCanvas::restart(const QSize &size, qreal devicePixelRatio)
{
    Start start;
    if (m_image.size() != size) {
        m_image = QImage(size, QImage::Format_ARGB32_Premultiplied);
        m_image.fill(Qt::transparent);
    } else {
        // Only what was drawn on needs clearing.
        start.stale = dirty();
    }
    m_image.setDevicePixelRatio(devicePixelRatio);
    takeBits();
    m_dirtyLeft = m_dirtyTop = std::numeric_limits<int>::max();
    m_dirtyRight = m_dirtyBottom = std::numeric_limits<int>::min();
    return start;
}

QRect SpriteCanvas::dirty() const
{
    if (isEmpty())
        return {};
    return QRect(QPoint(m_dirtyLeft, m_dirtyTop), QPoint(m_dirtyRight - 1, m_dirtyBottom - 1));
}

void SpriteCanvas::drawSprite(const Sprite &sprite, const QPoint &topLeft)
{
    const int width = m_width;
    const int firstRow = std::max(0, m_top - topLeft.y());
    const int lastRow = std::min(int(sprite.m_rows.size()), m_bottom - topLeft.y());
    if (firstRow >= lastRow || topLeft.x() >= width || topLeft.x() + sprite.m_width <= 0)
        return;
    m_dirtyLeft = std::min(m_dirtyLeft, std::max(0, topLeft.x()));
    m_dirtyTop = std::min(m_dirtyTop, topLeft.y() + firstRow);
    m_dirtyRight = std::max(m_dirtyRight, std::min(width, topLeft.x() + sprite.m_width));
    m_dirtyBottom = std::max(m_dirtyBottom, topLeft.y() + lastRow);
    const qsizetype stride = m_stride;
    const qsizetype spriteStride = sprite.m_stride;
    uchar *bits = m_bits;
    const uchar *spriteBits = sprite.m_bits;
    for (int y = firstRow; y < lastRow; ++y) {
        const QPoint span = sprite.m_rows[y];
        const int from = std::max(span.x(), -topLeft.x());
        const int to = std::min(span.y(), width - topLeft.x());
        if (from >= to)
            continue;
        const auto *source =
            reinterpret_cast<const quint32 *>(spriteBits + y * spriteStride) + from;
        auto *target =
            reinterpret_cast<quint32 *>(bits + (topLeft.y() + y) * stride) + topLeft.x() + from;
        blendRow(source, target, to - from);
    }
}

void SpriteCanvas::prepareBrush(double width, QRgb color)
{
    // Trails come in runs of one colour: the brush of the last one is usually the one asked for.
    if (m_inked && color == m_inkedColor && width == m_brushWidth)
        return;
    if (width != m_brushWidth || m_brush.empty()) {
        // A round brush, its coverage worked out once for each of 8 × 8 positions within a
        // pixel, its rows padded with nothing to whole groups of four pixels.
        m_brushWidth = width;
        m_inkedBrushes.clear();
        const double outer = width / 2.0 + 0.5;
        m_brushSide = int(std::ceil(2.0 * outer)) + 1;
        m_brushPitch = (m_brushSide + 3) & ~3;
        const int area = m_brushSide * m_brushPitch;
        m_brush.assign(size_t(brushSteps * brushSteps * area), 0);
        for (int qy = 0; qy < brushSteps; ++qy) {
            for (int qx = 0; qx < brushSteps; ++qx) {
                const double cx = outer + (qx + 0.5) / brushSteps;
                const double cy = outer + (qy + 0.5) / brushSteps;
                uchar *kernel = m_brush.data() + (qy * brushSteps + qx) * area;
                for (int j = 0; j < m_brushSide; ++j) {
                    for (int i = 0; i < m_brushSide; ++i) {
                        // Coverage falls from 1 to 0 across one pixel at the edge.
                        const double distance = std::hypot(i + 0.5 - cx, j + 0.5 - cy);
                        kernel[j * m_brushPitch + i] =
                            uchar(std::lround(std::clamp(outer - distance, 0.0, 1.0) * 255.0));
                    }
                }
            }
        }
        // Close enough that the edge of the union of stamps strays a tenth of a pixel at most.
        m_brushSpacing = 2.0 * std::sqrt(0.2 * outer - 0.01);
    }
    // The brush in premultiplied colour, ready to lay down; trails share a handful of colours.
    auto inked = m_inkedBrushes.find(color);
    if (inked == m_inkedBrushes.end()) {
        if (m_inkedBrushes.size() > 64)
            m_inkedBrushes.clear();
        std::array<quint32, 256> shades;
        const int alpha = qAlpha(color);
        for (int c = 0; c < 256; ++c) {
            const int a8 = (alpha * c + 127) / 255;
            shades[size_t(c)] = qRgba((qRed(color) * a8 + 127) / 255,
                (qGreen(color) * a8 + 127) / 255, (qBlue(color) * a8 + 127) / 255, a8);
        }
        std::vector<quint32> brush(m_brush.size());
        std::transform(m_brush.cbegin(), m_brush.cend(), brush.begin(),
            [&](uchar coverage) { return shades[coverage]; });
        inked = m_inkedBrushes.insert(color, std::move(brush));
    }
    m_inked = inked->data();
    m_inkedColor = color;
}

void SpriteCanvas::stamp(const QPointF &centre)
{
    const double outer = m_brushWidth / 2.0 + 0.5;
    const double gx = centre.x() - outer;
    const double gy = centre.y() - outer;
    const int side = m_brushSide;
    const int width = m_width;
    // Off the canvas, or so far off that the corner would not fit an int.
    if (!(gx < width && gy < m_bottom && gx > -side && gy > m_top - side))
        return;
    // Rounding down without a library call; gx and gy are above −side here.
    const int left = int(gx + side) - side;
    const int top = int(gy + side) - side;
    const int qx = std::min(brushSteps - 1, int((gx - left) * brushSteps));
    const int qy = std::min(brushSteps - 1, int((gy - top) * brushSteps));
    const int pitch = m_brushPitch;
    const int firstColumn = std::max(0, -left);
    const int lastColumn = std::min(side, width - left);
    const int firstRow = std::max(0, m_top - top);
    const int lastRow = std::min(side, m_bottom - top);
    if (firstColumn >= lastColumn || firstRow >= lastRow)
        return;
    m_dirtyLeft = std::min(m_dirtyLeft, left + firstColumn);
    m_dirtyTop = std::min(m_dirtyTop, top + firstRow);
    m_dirtyRight = std::max(m_dirtyRight, left + lastColumn);
    m_dirtyBottom = std::max(m_dirtyBottom, top + lastRow);
    const quint32 *kernel = m_inked + (qy * brushSteps + qx) * side * pitch;
    const qsizetype stride = m_stride;
    uchar *bits = m_bits;
    // The more opaque wins, so that the line does not darken where stamps overlap.
#if defined(__SSE2__)
    if (left >= 0 && left + pitch <= width) {
        for (int j = firstRow; j < lastRow; ++j) {
            auto *row = reinterpret_cast<quint32 *>(bits + (top + j) * stride) + left;
            const quint32 *shades = kernel + j * pitch;
            for (int i = 0; i < pitch; i += 4) {
                const __m128i shade =
                    _mm_loadu_si128(reinterpret_cast<const __m128i *>(shades + i));
                const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row + i));
                const __m128i stronger =
                    _mm_cmpgt_epi32(_mm_srli_epi32(shade, 24), _mm_srli_epi32(old, 24));
                _mm_storeu_si128(reinterpret_cast<__m128i *>(row + i),
                    _mm_or_si128(_mm_and_si128(stronger, shade), _mm_andnot_si128(stronger, old)));
            }
        }
        return;
    }
#endif
    for (int j = firstRow; j < lastRow; ++j) {
        auto *row = reinterpret_cast<quint32 *>(bits + (top + j) * stride) + left;
        const quint32 *shades = kernel + j * pitch;
        for (int i = firstColumn; i < lastColumn; ++i) {
            const quint32 shade = shades[i];
            const quint32 old = row[i];
            row[i] = (shade >> 24) > (old >> 24) ? shade : old;
        }
    }
}

void SpriteCanvas::strokePolyline(const QPointF *points, int count, double width, QRgb color)
{
    if (count < 2 || !(width > 0))
        return;
    prepareBrush(width, color);
    const double reach = width / 2.0 + 1.0;
    const double spacing = m_brushSpacing;
    // Stamps at even steps along the whole line, carried over from segment to segment: the
    // k-th step of a segment lies at ahead + k × spacing, worked out the same way whatever part
    // of it this canvas (or band) draws, so that bands meet without a seam.
    double ahead = 0.0;
    for (int i = 0; i + 1 < count; ++i) {
        const QPointF a = points[i];
        const QPointF delta = points[i + 1] - a;
        const double length = std::sqrt(delta.x() * delta.x() + delta.y() * delta.y());
        if (!std::isfinite(length))
            return;
        if (length == 0.0) {
            stamp(a);
            continue;
        }
        if (ahead > length) {
            ahead -= length;
            continue;
        }
        const QPointF step = delta / length;
        // The stretch of the segment within reach of the rows and columns drawn on.
        double enter = 0.0;
        double leave = length;
        const auto clip = [&](double from, double along, double low, double high) {
            if (along == 0.0) {
                if (from < low || from > high)
                    leave = -1.0;
                return;
            }
            const double first = (low - from) / along;
            const double last = (high - from) / along;
            enter = std::max(enter, std::min(first, last));
            leave = std::min(leave, std::max(first, last));
        };
        clip(a.x(), step.x(), -reach, m_width + reach);
        clip(a.y(), step.y(), m_top - reach, m_bottom + reach);
        if (enter <= leave) {
            const double from = std::max(0.0, std::ceil((enter - ahead) / spacing));
            const double to = std::floor((leave - ahead) / spacing);
            for (double k = from; k <= to; ++k)
                stamp(a + step * (ahead + k * spacing));
        }
        ahead += (std::floor((length - ahead) / spacing) + 1.0) * spacing - length;
    }
    stamp(points[count - 1]);
}

void SpriteCanvas::viewBand(const SpriteCanvas &whole, int top, int bottom)
{
    m_image = QImage();
    m_bits = whole.m_bits;
    m_width = whole.m_width;
    m_stride = whole.m_stride;
    m_top = std::clamp(top, whole.m_top, whole.m_bottom);
    m_bottom = std::clamp(bottom, m_top, whole.m_bottom);
    m_dirtyLeft = m_dirtyTop = std::numeric_limits<int>::max();
    m_dirtyRight = m_dirtyBottom = std::numeric_limits<int>::min();
}

void SpriteCanvas::include(const SpriteCanvas &band)
{
    if (band.isEmpty())
        return;
    m_dirtyLeft = std::min(m_dirtyLeft, band.m_dirtyLeft);
    m_dirtyTop = std::min(m_dirtyTop, band.m_dirtyTop);
    m_dirtyRight = std::max(m_dirtyRight, band.m_dirtyRight);
    m_dirtyBottom = std::max(m_dirtyBottom, band.m_dirtyBottom);
}

void SpriteCanvas::copyFrom(const SpriteCanvas &other)
{
    prepare(restartFrom(other));
}

SpriteCanvas::Start SpriteCanvas::restartFrom(const SpriteCanvas &other)
{
    Start start = restart(other.m_image.size(), other.m_image.devicePixelRatio());
    start.copied = other.dirty();
    start.source = other.m_image.constBits();
    start.sourceStride = other.m_image.bytesPerLine();
    return start;
}

void SpriteCanvas::prepare(const Start &start)
{
    const QRect &stale = start.stale;
    const QRect &copied = start.copied;
    // What the last picture drew beyond the copied part is cleared; the rest is overwritten.
    for (int y = std::max(stale.top(), m_top); y <= std::min(stale.bottom(), m_bottom - 1); ++y) {
        uchar *row = m_bits + y * m_stride;
        if (copied.isEmpty() || y < copied.top() || y > copied.bottom()) {
            std::memset(row + stale.left() * 4, 0, size_t(stale.width()) * 4);
            continue;
        }
        if (stale.left() < copied.left())
            std::memset(row + stale.left() * 4, 0,
                size_t(std::min(stale.right() + 1, copied.left()) - stale.left()) * 4);
        if (stale.right() > copied.right()) {
            const int from = std::max(stale.left(), copied.right() + 1);
            std::memset(row + from * 4, 0, size_t(stale.right() + 1 - from) * 4);
        }
    }
    const int first = std::max(copied.top(), m_top);
    const int last = std::min(copied.bottom(), m_bottom - 1);
    if (copied.isEmpty() || first > last)
        return;
    for (int y = first; y <= last; ++y)
        std::memcpy(m_bits + y * m_stride + copied.left() * 4,
            start.source + y * start.sourceStride + copied.left() * 4, size_t(copied.width()) * 4);
    m_dirtyLeft = std::min(m_dirtyLeft, copied.left());
    m_dirtyTop = std::min(m_dirtyTop, first);
    m_dirtyRight = std::max(m_dirtyRight, copied.right() + 1);
    m_dirtyBottom = std::max(m_dirtyBottom, last + 1);
}
