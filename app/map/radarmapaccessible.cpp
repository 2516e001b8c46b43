// SPDX-License-Identifier: GPL-3.0-or-later
#include "radarmapaccessible.h"

#include "flightstore.h"
#include "radarmapview.h"

#include <QSet>
#include <QWidget>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {

// One aircraft on the map, known by its hex: while the map draws it, it reads the view for
// its text, place and selection; once the aircraft has gone it is no longer valid.
class MarkerAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    MarkerAccessible(RadarMapView *view, const QString &hex)
        : m_view(view)
        , m_hex(hex)
    {
    }

    bool isValid() const override { return m_view && m_view->markerHexes().contains(m_hex); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override
    {
        return m_view ? QAccessible::queryAccessibleInterface(m_view.data()) : nullptr;
    }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name || !m_view)
            return {};
        return m_view->markerDescription(m_hex);
    }
    void setText(QAccessible::Text, const QString &) override { }

    QRect rect() const override
    {
        if (!m_view)
            return {};
        const QRectF disc = m_view->markerRect(m_hex);
        if (disc.isEmpty())
            return {};
        return QRect(m_view->mapToGlobal(disc.topLeft().toPoint()), disc.size().toSize());
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.selectable = true;
        if (!m_view) {
            state.invalid = true;
            return state;
        }
        state.selected = m_view->store()->selectedHex() == m_hex;
        state.offscreen = !m_view->rect().contains(m_view->markerRect(m_hex).center().toPoint());
        return state;
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface *>(this);
        return nullptr;
    }

    QStringList actionNames() const override { return { pressAction() }; }
    QString localizedActionDescription(const QString &name) const override
    {
        if (name == pressAction())
            return RadarMapView::tr("Select this aircraft");
        return {};
    }
    void doAction(const QString &name) override
    {
        if (name == pressAction() && isValid())
            m_view->store()->setSelectedHex(m_hex);
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QPointer<RadarMapView> m_view;
    QString m_hex;
};

} // namespace

RadarMapAccessible::RadarMapAccessible(RadarMapView *view)
    : QAccessibleWidget(view, QAccessible::Client)
{
}

RadarMapAccessible::~RadarMapAccessible()
{
    for (const QAccessible::Id id : std::as_const(m_markers))
        QAccessible::deleteAccessibleInterface(id);
}

QAccessibleInterface *RadarMapAccessible::create(const QString &className, QObject *object)
{
    if (className == u"RadarMapView"_s && object && object->isWidgetType())
        return new RadarMapAccessible(static_cast<RadarMapView *>(object));
    return nullptr;
}

RadarMapView *RadarMapAccessible::view() const
{
    return static_cast<RadarMapView *>(widget());
}

int RadarMapAccessible::childCount() const
{
    return int(view()->markerHexes().size()) + QAccessibleWidget::childCount();
}

QAccessibleInterface *RadarMapAccessible::child(int index) const
{
    const QStringList &hexes = view()->markerHexes();
    if (index < 0)
        return nullptr;
    if (index < hexes.size())
        return marker(hexes.at(index));
    return QAccessibleWidget::child(index - int(hexes.size()));
}

int RadarMapAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    if (!child)
        return -1;
    const QStringList &hexes = view()->markerHexes();
    if (!child->object()) {
        const QAccessible::Id id = QAccessible::uniqueId(const_cast<QAccessibleInterface *>(child));
        const QString hex = m_markers.key(id);
        return hex.isEmpty() ? -1 : int(hexes.indexOf(hex));
    }
    const int index = QAccessibleWidget::indexOfChild(child);
    return index < 0 ? -1 : index + int(hexes.size());
}

QAccessibleInterface *RadarMapAccessible::childAt(int x, int y) const
{
    // The controls float over the map.
    if (QAccessibleInterface *control = QAccessibleWidget::childAt(x, y))
        return control;
    const QString hex = view()->markerAt(view()->mapFromGlobal(QPointF(x, y)));
    return hex.isEmpty() ? nullptr : marker(hex);
}

QAccessibleInterface *RadarMapAccessible::marker(const QString &hex) const
{
    if (QAccessibleInterface *known = existingMarker(hex))
        return known;
    // Forget the markers of aircraft that have gone, now and then.
    const QStringList &hexes = view()->markerHexes();
    if (m_markers.size() > 2 * hexes.size() + 64) {
        const QSet<QString> shown(hexes.cbegin(), hexes.cend());
        for (auto it = m_markers.begin(); it != m_markers.end();) {
            if (!shown.contains(it.key())) {
                QAccessible::deleteAccessibleInterface(it.value());
                it = m_markers.erase(it);
            } else {
                ++it;
            }
        }
    }
    auto *made = new MarkerAccessible(view(), hex);
    m_markers.insert(hex, QAccessible::registerAccessibleInterface(made));
    return made;
}

QAccessibleInterface *RadarMapAccessible::existingMarker(const QString &hex) const
{
    const auto found = m_markers.constFind(hex);
    return found != m_markers.cend() ? QAccessible::accessibleInterface(*found) : nullptr;
}
