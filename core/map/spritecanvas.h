// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QRgb>
#include <QVector>

#include <array>
#include <vector>

// A transparent layer for the thousands of small things on the map, drawn pixel by pixel in
// device pixels and laid over the map with one image copy. QPainter sets up clipping, blending
// and rasterising again for every marker and every trail, which at two thousand of each costs
// a hundred times more than the pixels themselves.
class SpriteCanvas {
public:
    // A premultiplied picture with the extent of its visible pixels per row, so that the
    // transparent margins cost nothing.
    class Sprite {
    public:
        Sprite() = default;
        explicit Sprite(QImage image);

        const QImage &image() const { return m_image; }
        bool isNull() const { return m_image.isNull(); }
        // In device pixels.
        int width() const { return m_width; }
        int height() const { return int(m_rows.size()); }

    private:
        friend class SpriteCanvas;
        QImage m_image;
        const uchar *m_bits = nullptr;
        int m_width = 0;
        qsizetype m_stride = 0;
        QVector<QPoint> m_rows; // first and one-past-last visible column of each row
    };

    // Clears the canvas to the given size in device pixels, keeping its memory when it can.
    void reset(const QSize &size, qreal devicePixelRatio);
    // Becomes a copy of @p other, copying only what was drawn on (and clearing only what
    // this one had drawn on): a layer kept once is the start of each picture drawn over it.
    void copyFrom(const SpriteCanvas &other);

    // What a new picture still has to do to the pixels before drawing on them: clear what the
    // last one drew on, and lay down the picture it starts from.
    struct Start {
        QRect stale;
        QRect copied;
        const uchar *source = nullptr;
        qsizetype sourceStride = 0;
    };
    // reset() and copyFrom() without touching the pixels: each band then does its own rows
    // with prepare(), so that clearing and copying run in parallel with the drawing.
    [[nodiscard]] Start restart(const QSize &size, qreal devicePixelRatio);
    [[nodiscard]] Start restartFrom(const SpriteCanvas &other);
    // Does the @p start of a picture on the rows this draws on.
    void prepare(const Start &start);
    const QImage &image() const { return m_image; }
    bool isEmpty() const { return m_dirtyRight <= m_dirtyLeft; }
    // The part drawn on since reset(), in device pixels.
    QRect dirty() const;

    // Makes this a view of rows @p top to @p bottom (exclusive) of @p whole, drawing in its
    // coordinates but on those rows only, so that bands of one picture can be drawn on
    // several threads at once. The view has no image of its own; what it drew goes back to
    // the whole with include().
    void viewBand(const SpriteCanvas &whole, int top, int bottom);
    void include(const SpriteCanvas &band);
    // The rows this draws on: all of them, or its band's.
    int firstRow() const { return m_top; }
    int endRow() const { return m_bottom; }

    // Lays the sprite over the canvas with its top-left corner at @p topLeft.
    void drawSprite(const Sprite &sprite, const QPoint &topLeft);
    // A line through @p points, @p width device pixels wide with round caps and joins, in a
    // colour whose alpha is the opacity at full coverage. Where lines overlap the more opaque
    // one shows, so that a translucent line does not darken at its own joints.
    void strokePolyline(const QPointF *points, int count, double width, QRgb color);

private:
    static constexpr int brushSteps = 8;

    void prepareBrush(double width, QRgb color);
    void stamp(const QPointF &centre);

    // Drawing on the pixels directly: the image's accessors are calls into the library, which
    // at tens of thousands of stamps a frame cost more than the stamps.
    void takeBits();

    QImage m_image;
    uchar *m_bits = nullptr;
    int m_width = 0;
    int m_top = 0;
    int m_bottom = 0;
    qsizetype m_stride = 0;
    int m_dirtyLeft = 0;
    int m_dirtyTop = 0;
    int m_dirtyRight = 0;
    int m_dirtyBottom = 0;
    double m_brushWidth = 0.0;
    double m_brushSpacing = 0.5;
    int m_brushSide = 0;
    int m_brushPitch = 0; // the side, padded to whole groups of four pixels
    std::vector<uchar> m_brush; // coverage, brushSteps² kernels of side rows by pitch
    QHash<QRgb, std::vector<quint32>> m_inkedBrushes; // the kernels in each colour
    const quint32 *m_inked = nullptr;
    QRgb m_inkedColor = 0;
};
