// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <functional>

class QGeoPositionInfo;
class QGeoPositionInfoSource;

// Asks the system's positioning service once where this computer is.
//
// request() answers with exactly one located() or failed(): no positioning service, a refused
// permission, an error, an invalid fix and no answer within the time-out all count as failure.
// Only one request is pending at a time; asking again while one runs changes nothing.
class LocationOnce : public QObject {
    Q_OBJECT
public:
    using SourceFactory = std::function<QGeoPositionInfoSource *(QObject *parent)>;

    // Uses the platform's default position source.
    explicit LocationOnce(QObject *parent = nullptr);
    // Uses the sources @p factory makes (it may return nullptr for "none available"). The
    // source is created at the first request and kept.
    explicit LocationOnce(SourceFactory factory, QObject *parent = nullptr);
    ~LocationOnce() override;

    // How long to wait for a fix (30 s unless changed).
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }

    void request();
    // Forgets the pending request; no signal follows for it.
    void cancel();
    bool isPending() const { return m_pending; }

Q_SIGNALS:
    void located(double latitude, double longitude);
    void failed();

private:
    void positionUpdated(const QGeoPositionInfo &info);
    void finish(bool ok, double latitude = 0.0, double longitude = 0.0);

    SourceFactory m_factory;
    QPointer<QGeoPositionInfoSource> m_source;
    bool m_pending = false;
    std::chrono::milliseconds m_timeout { 30'000 };
    QTimer m_timer;
};
