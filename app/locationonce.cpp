// SPDX-License-Identifier: GPL-3.0-or-later
#include "locationonce.h"

#include <QGeoCoordinate>
#include <QGeoPositionInfo>
#include <QGeoPositionInfoSource>

LocationOnce::LocationOnce(QObject *parent)
    : LocationOnce(
        [](QObject *sourceParent) {
            return QGeoPositionInfoSource::createDefaultSource(sourceParent);
        },
        parent)
{
}

LocationOnce::LocationOnce(SourceFactory factory, QObject *parent)
    : QObject(parent)
    , m_factory(std::move(factory))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { finish(false); });
}

LocationOnce::~LocationOnce() = default;

void LocationOnce::request()
{
    if (m_pending)
        return;
    m_pending = true;

    if (!m_source && m_factory) {
        m_source = m_factory(this);
        if (QGeoPositionInfoSource *source = m_source) {
            connect(source, &QGeoPositionInfoSource::positionUpdated, this,
                [this, source](const QGeoPositionInfo &info) {
                    if (source == m_source)
                        positionUpdated(info);
                });
            connect(source, &QGeoPositionInfoSource::errorOccurred, this,
                [this, source](QGeoPositionInfoSource::Error error) {
                    if (source != m_source || error == QGeoPositionInfoSource::NoError
                        || !m_pending)
                        return;
                    // A source that failed may be dead (the service went away); the
                    // next request starts with a fresh one.
                    m_source->deleteLater();
                    m_source = nullptr;
                    finish(false);
                });
        }
    }
    if (!m_source) {
        // Reported from the event loop, like every other answer, so the caller sees one order.
        m_timer.start(0);
        return;
    }
    m_timer.start(m_timeout);
    // Some sources answer from inside requestUpdate(); asking from the event loop keeps every
    // answer after request() has returned.
    QMetaObject::invokeMethod(
        this,
        [this, source = m_source] {
            if (m_pending && source == m_source)
                m_source->requestUpdate(int(m_timeout.count()));
        },
        Qt::QueuedConnection);
}

void LocationOnce::cancel()
{
    m_pending = false;
    m_timer.stop();
}

void LocationOnce::positionUpdated(const QGeoPositionInfo &info)
{
    if (!m_pending)
        return;
    const QGeoCoordinate coordinate = info.coordinate();
    if (!info.isValid() || !coordinate.isValid()) {
        finish(false);
        return;
    }
    finish(true, coordinate.latitude(), coordinate.longitude());
}

void LocationOnce::finish(bool ok, double latitude, double longitude)
{
    if (!m_pending)
        return;
    m_pending = false;
    m_timer.stop();
    if (ok)
        Q_EMIT located(latitude, longitude);
    else
        Q_EMIT failed();
}
