// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QList>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPointF>
#include <QSizeF>
#include <QStringList>

#include <optional>

/// A paint device that keeps every run of text painted on it and where it went, so a test can
/// ask what a view wrote rather than guess it from pixels. Shapes and images are dropped.
class TextRecorder : public QPaintDevice {
public:
    struct Item {
        QString text;
        QPointF baseline; ///< where the run starts, in device coordinates
        QColor color;
    };

    explicit TextRecorder(const QSizeF &size);

    QPaintEngine *paintEngine() const override { return &m_engine; }
    const QList<Item> &items() const { return m_engine.items; }
    QStringList texts() const;
    /// The first run that reads exactly @p text.
    std::optional<Item> find(const QString &text) const;

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    class Engine : public QPaintEngine {
    public:
        Engine();
        bool begin(QPaintDevice *) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState &) override { }
        void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override { }
        void drawPath(const QPainterPath &) override { }
        void drawPolygon(const QPointF *, int, PolygonDrawMode) override { }
        void drawTextItem(const QPointF &p, const QTextItem &item) override;
        Type type() const override { return User; }

        QList<Item> items;
    };

    QSize m_size;
    mutable Engine m_engine;
};
