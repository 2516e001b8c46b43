// SPDX-License-Identifier: GPL-3.0-or-later
#include "skyprovider.h"

#include "adsb.h"
#include "sharedstate.h"

using namespace Qt::StringLiterals;

SkyProvider::SkyProvider(QNetworkAccessManager *network, const Services &services,
    const QString &dataDirectory, const RequestOptions &options, QObject *parent)
    : QObject(parent)
    , m_network(network)
    , m_services(services)
    , m_dataDirectory(dataDirectory)
    , m_options(options)
{
}

SkyEntry SkyProvider::placeholder() const
{
    return sampleEntry();
}

void SkyProvider::getSnapshot(bool isPreview, std::function<void(const SkyEntry &)> completion)
{
    if (isPreview) {
        completion(placeholder());
        return;
    }
    liveEntry(std::move(completion));
}

void SkyProvider::getTimeline(std::function<void(const SkyTimeline &)> completion)
{
    liveEntry([completion = std::move(completion)](const SkyEntry &entry) {
        completion(SkyTimeline { { entry }, entry.date.addSecs(reloadSeconds) });
    });
}

void SkyProvider::liveEntry(std::function<void(const SkyEntry &)> completion)
{
    SkyEntry entry;
    entry.date = QDateTime::currentDateTime();
    const std::optional<SharedState::Config> config = SharedState::read(m_dataDirectory);
    if (!config) {
        completion(entry);
        return;
    }
    entry.home = config->home;
    entry.radiusNM = config->radiusNM;
    entry.unit = config->distanceUnit.value_or(u"mi"_s);
    entry.accentHex = config->widgetColorHex;

    FeedFetch *fetch =
        ADSB::fetch(m_network, m_services, config->home, config->radiusNM, m_options, this);
    connect(fetch, &Reply::finished, this,
        [fetch, entry, completion = std::move(completion)]() mutable {
            // A failed feed leaves the sky empty until the next request; nothing is reported.
            if (fetch->result())
                entry.aircraft = fetch->result()->aircraft;
            fetch->deleteLater();
            completion(entry);
        });
}
