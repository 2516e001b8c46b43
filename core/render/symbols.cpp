// SPDX-License-Identifier: GPL-3.0-or-later
#include "symbols.h"

#include "aircraftcolors.h"
#include "systemcolors.h"

#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHash>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QSet>
#include <QtGlobal>

#include <vector>

using namespace Qt::StringLiterals;

namespace {

struct Glyph {
    char32_t codePoint;
    // Drawn as the glyph cut into a filled disc, for the ".circle.fill" names the font lacks.
    bool onDisc = false;
};

// Material Icons code points, from the font's own name table.
const QHash<QString, Glyph> &table()
{
    static const QHash<QString, Glyph> glyphs {
        { u"accessibility"_s, { 0xe84e } }, // accessibility
        { u"airplane"_s, { 0xe539 } }, // flight
        { u"airplane.circle.fill"_s, { 0xe539, true } },
        { u"airplane.departure"_s, { 0xe905 } }, // flight_takeoff
        { u"arrow.down.circle.fill"_s, { 0xf181 } }, // arrow_circle_down
        { u"arrow.down.to.line"_s, { 0xe258 } }, // vertical_align_bottom
        { u"bell.badge"_s, { 0xe7f7 } }, // notifications_active
        { u"chart.bar"_s, { 0xe26b } }, // bar_chart
        { u"checkmark"_s, { 0xe5ca } }, // check
        { u"checkmark.circle.fill"_s, { 0xe86c } }, // check_circle
        { u"chevron.down"_s, { 0xe5cf } }, // expand_more
        { u"exclamationmark"_s, { 0xe645 } }, // priority_high
        { u"exclamationmark.triangle"_s, { 0xe002 } }, // warning
        // wind_power: a spinning three-bladed rotor; the font has no helicopter, and "toys" is a
        // toy car.
        { u"fanblades"_s, { 0xec0c } }, { u"gearshape"_s, { 0xe8b8 } }, // settings
        { u"globe"_s, { 0xe80b } }, // public
        { u"hand.raised"_s, { 0xe925 } }, // pan_tool
        { u"headphones"_s, { 0xf01f } }, // headphones
        { u"headphones.circle.fill"_s, { 0xf01f, true } }, { u"house"_s, { 0xe88a } }, // home
        { u"house.circle.fill"_s, { 0xe88a, true } }, { u"house.fill"_s, { 0xe88a } },
        { u"info.circle"_s, { 0xe88f } }, // info_outline
        { u"line.3.horizontal.decrease.circle"_s, { 0xe152 } }, // filter_list
        { u"line.3.horizontal.decrease.circle.fill"_s, { 0xe152, true } },
        { u"location.fill"_s, { 0xe569 } }, // near_me
        { u"location.north.line"_s, { 0xe55d } }, // navigation
        { u"magnifyingglass"_s, { 0xe8b6 } }, // search
        { u"map"_s, { 0xe55b } }, // map
        { u"minus"_s, { 0xe15b } }, // remove
        { u"paperplane"_s, { 0xe163 } }, // send
        { u"pause.circle"_s, { 0xe036 } }, // pause_circle_outline
        { u"pause.fill"_s, { 0xe034 } }, // pause
        { u"play.circle"_s, { 0xe039 } }, // play_circle_outline
        { u"play.fill"_s, { 0xe037 } }, // play_arrow
        { u"plus"_s, { 0xe145 } }, // add
        { u"questionmark.circle"_s, { 0xe8fd } }, // help_outline
        { u"scope"_s, { 0xe1b3 } }, // gps_fixed
        { u"shield"_s, { 0xe9e0 } }, // shield
        { u"sparkles"_s, { 0xe65f } }, // auto_awesome
        { u"speaker.fill"_s, { 0xe04e } }, // volume_mute
        { u"speaker.wave.3.fill"_s, { 0xe050 } }, // volume_up
        { u"square.3.layers.3d"_s, { 0xe53b } }, // layers
        { u"square.stack.3d.up"_s, { 0xe53b } }, // layers
        { u"star.fill"_s, { 0xe838 } }, // star
        { u"stop.circle.fill"_s, { 0xef71 } }, // stop_circle
        { u"trash"_s, { 0xe872 } }, // delete
        { u"waveform"_s, { 0xe1b8 } }, // graphic_eq
        { u"wifi.exclamationmark"_s, { 0xf063 } }, // signal_wifi_bad
        { u"xmark"_s, { 0xe5cd } }, // close
        { u"xmark.circle.fill"_s, { 0xe5c9 } }, // cancel
    };
    return glyphs;
}

// broken_image: plainly a missing picture, never mistaken for a real symbol.
constexpr Glyph standIn { 0xe3ad };

Glyph glyphFor(const QString &name)
{
    const auto &glyphs = table();
    const auto found = glyphs.constFind(name);
    if (found != glyphs.constEnd())
        return *found;
    static QSet<QString> reported;
    if (!reported.contains(name)) {
        reported.insert(name);
        qWarning("Symbols: no glyph for \"%s\"", qUtf8Printable(name));
    }
    return standIn;
}

void drawGlyph(QPainter *painter, char32_t codePoint, const QRectF &rect, const QColor &color)
{
    QFont font(Symbols::fontFamily());
    font.setPixelSize(qMax(1, qRound(qMin(rect.width(), rect.height()))));
    // A missing glyph must show as missing, not as a letter from some other font.
    font.setStyleStrategy(QFont::NoFontMerging);
    painter->setFont(font);
    painter->setPen(color);
    painter->drawText(rect, Qt::AlignCenter, QString(QChar(char16_t(codePoint))));
}

class SymbolIconEngine : public QIconEngine {
public:
    SymbolIconEngine(const QString &name, const QColor &color)
        : m_name(name)
        , m_color(color)
    {
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        Symbols::paint(painter, m_name, rect, colorFor(mode));
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State) override
    {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        Symbols::paint(&painter, m_name, QRectF(QPointF(0, 0), size), colorFor(mode));
        painter.end();
        return QPixmap::fromImage(std::move(image));
    }

    QIconEngine *clone() const override { return new SymbolIconEngine(m_name, m_color); }
    QString key() const override { return u"SkyvelleSymbol"_s; }
    QString iconName() override { return m_name; }

private:
    QColor colorFor(QIcon::Mode mode) const
    {
        const QPalette palette = QGuiApplication::palette();
        if (mode == QIcon::Disabled) {
            if (!m_color.isValid())
                return palette.color(QPalette::Disabled, QPalette::WindowText);
            QColor dimmed = m_color;
            dimmed.setAlphaF(0.4f);
            return dimmed;
        }
        if (m_color.isValid())
            return m_color;
        return palette.color(
            mode == QIcon::Selected ? QPalette::HighlightedText : QPalette::WindowText);
    }

    QString m_name;
    QColor m_color;
};

} // namespace

namespace Symbols {

QString fontFamily()
{
    static const QString family = [] {
        const int id = QFontDatabase::addApplicationFont(u":/fonts/MaterialIcons-Regular.ttf"_s);
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        if (families.isEmpty()) {
            qWarning("Symbols: the icon font did not load");
            return QString();
        }
        return families.first();
    }();
    return family;
}

bool isKnown(const QString &name)
{
    return table().contains(name);
}

QStringList names()
{
    QStringList result = table().keys();
    result.sort();
    return result;
}

char32_t codePoint(const QString &name)
{
    return glyphFor(name).codePoint;
}

QIcon icon(const QString &name, const QColor &color)
{
    return QIcon(new SymbolIconEngine(name, color));
}

QPixmap pixmap(const QString &name, int px, const QColor &color)
{
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    const int side = qMax(1, qRound(px * ratio));
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paint(&painter, name, QRectF(0, 0, side, side), color);
    painter.end();
    QPixmap result = QPixmap::fromImage(std::move(image));
    result.setDevicePixelRatio(ratio);
    return result;
}

void paint(QPainter *painter, const QString &name, const QRectF &rect, const QColor &color)
{
    const Glyph glyph = glyphFor(name);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::TextAntialiasing);
    if (!glyph.onDisc) {
        drawGlyph(painter, glyph.codePoint, rect, color);
        painter->restore();
        return;
    }
    const qreal side = qMin(rect.width(), rect.height());
    const QRectF disc(rect.center() - QPointF(side / 2, side / 2), QSizeF(side, side));
    painter->setPen(Qt::NoPen);
    painter->setBrush(color);
    painter->drawEllipse(disc.adjusted(side * 0.04, side * 0.04, -side * 0.04, -side * 0.04));
    // Dark glyph on a light disc and the reverse, by the same rule as the aircraft icons.
    const QColor glyphColor = SystemColors::withAlpha(AircraftColors::glyph(color), color.alphaF());
    const qreal inner = side * 0.58;
    drawGlyph(painter, glyph.codePoint,
        QRectF(disc.center() - QPointF(inner / 2, inner / 2), QSizeF(inner, inner)), glyphColor);
    painter->restore();
}

QPainterPath airplanePath()
{
    // The upper half from nose to tail (y grows downward); the lower half mirrors it.
    static const std::vector<QPointF> upper {
        { 0.36, -0.075 }, // end of the nose curve
        { 0.12, -0.075 }, // wing root, leading edge
        { -0.1, -0.47 }, // wing tip, leading edge
        { -0.22, -0.47 }, // wing tip, trailing edge
        { -0.12, -0.075 }, // wing root, trailing edge
        { -0.3, -0.07 }, // tailplane root, leading edge
        { -0.4, -0.22 }, // tailplane tip, leading edge
        { -0.49, -0.22 }, // tailplane tip, trailing edge
        { -0.46, -0.05 }, // tailplane root, trailing edge
        { -0.5, -0.04 }, // tail cone
    };
    static const QPainterPath path = [] {
        QPainterPath p;
        p.moveTo(0.5, 0.0);
        p.cubicTo(0.5, -0.04, 0.45, -0.075, upper.front().x(), upper.front().y());
        for (size_t i = 1; i < upper.size(); ++i)
            p.lineTo(upper[i]);
        for (auto it = upper.rbegin(); it != upper.rend(); ++it)
            p.lineTo(it->x(), -it->y());
        p.cubicTo(0.45, 0.075, 0.5, 0.04, 0.5, 0.0);
        p.closeSubpath();
        p.setFillRule(Qt::WindingFill);
        return p;
    }();
    return path;
}

void paintAirplane(QPainter *painter, const QPointF &centre, qreal size, qreal rotationDeg,
    const QColor &color, qreal outline)
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->translate(centre);
    painter->rotate(rotationDeg);
    painter->scale(size, size);
    painter->setPen(outline > 0 ? QPen(color, outline) : QPen(Qt::NoPen));
    painter->setBrush(color);
    painter->drawPath(airplanePath());
    painter->restore();
}

} // namespace Symbols
