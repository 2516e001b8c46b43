// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>
#include <QString>

class RadarMapView;

// The map pane for screen readers: every aircraft the map draws is a child of its own, named
// as its marker is described, with the marker's disc as its rectangle and an action that
// selects it, followed by the controls that float over the map. The markers are painted, not
// widgets, so their interfaces are made here and kept per hex while the map shows them.
class RadarMapAccessible : public QAccessibleWidget {
public:
    explicit RadarMapAccessible(RadarMapView *view);
    ~RadarMapAccessible() override;

    // The factory for QAccessible::installFactory().
    static QAccessibleInterface *create(const QString &className, QObject *object);

    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;

    // The interface of @p hex's marker, made when first asked for.
    QAccessibleInterface *marker(const QString &hex) const;
    // The marker's interface only when one was made already; nullptr otherwise.
    QAccessibleInterface *existingMarker(const QString &hex) const;

private:
    RadarMapView *view() const;

    mutable QHash<QString, QAccessible::Id> m_markers;
};
