// SPDX-License-Identifier: GPL-3.0-or-later
#include "services.h"

#include "appcast.h"

#include <QSettings>

using namespace Qt::StringLiterals;

Services Services::defaults()
{
    Services s;
    s.feedPrimary = QUrl(u"https://api.adsb.lol"_s);
    s.feedSecondary = QUrl(u"https://opendata.adsb.fi"_s);
    s.feedPrimaryName = u"adsb.lol"_s;
    s.feedSecondaryName = u"adsb.fi"_s;
    s.homepage = QUrl(u"https://skyvelle.app"_s);
    s.contact = u"hello@skyvelle.app"_s;
    s.geocoder = QUrl(u"https://nominatim.openstreetmap.org"_s);
    s.routes = QUrl(u"https://api.adsbdb.com"_s);
    s.photos = QUrl(u"https://api.planespotters.net"_s);
    s.globe = QUrl(u"https://globe.adsb.lol"_s);
    s.tilesStandard = u"https://tile.openstreetmap.org/{z}/{x}/{y}.png"_s;
    s.tilesImagery =
        u"https://server.arcgisonline.com/ArcGIS/rest/services/World_Imagery/MapServer/tile/{z}/{y}/{x}"_s;
    s.tilesOverlay = u"https://server.arcgisonline.com/ArcGIS/rest/services/Reference/"
                     "World_Boundaries_and_Places/MapServer/tile/{z}/{y}/{x}"_s;
    s.atcStreamBase = QUrl(u"https://d.liveatc.net/"_s);
    s.atcDomain = u"liveatc.net"_s;
    s.appcast = Appcast::feedUnder(s.homepage);
    return s;
}

QVariantMap Services::overridesIn(const QString &settingsFile)
{
    QSettings settings(settingsFile, QSettings::IniFormat);
    QVariantMap overrides;
    settings.beginGroup(u"services"_s);
    for (const QString &key : settings.childKeys())
        overrides.insert(key, settings.value(key));
    return overrides;
}

Services Services::withOverrides(const QVariantMap &overrides)
{
    Services s = defaults();
    const auto text = [&](const char *key, QString &field) {
        const QString value = overrides.value(QString::fromLatin1(key)).toString().trimmed();
        if (!value.isEmpty())
            field = value;
    };
    const auto url = [&](const char *key, QUrl &field) {
        QString value;
        text(key, value);
        if (value.isEmpty())
            return;
        // A trailing slash would double up with the paths appended to a base address.
        while (value.endsWith(u'/'))
            value.chop(1);
        const QUrl parsed(value);
        if (parsed.isValid() && !parsed.scheme().isEmpty())
            field = parsed;
    };
    url("feedPrimary", s.feedPrimary);
    url("feedSecondary", s.feedSecondary);
    text("feedPrimaryName", s.feedPrimaryName);
    text("feedSecondaryName", s.feedSecondaryName);
    url("homepage", s.homepage);
    // The release feed follows a packager's homepage unless it is given itself.
    s.appcast = Appcast::feedUnder(s.homepage);
    url("appcast", s.appcast);
    text("contact", s.contact);
    url("geocoder", s.geocoder);
    url("routes", s.routes);
    url("photos", s.photos);
    url("globe", s.globe);
    text("tilesStandard", s.tilesStandard);
    text("tilesImagery", s.tilesImagery);
    text("tilesOverlay", s.tilesOverlay);
    // The stream base keeps its trailing slash: a mount name is appended to it as is.
    QString streamBase;
    text("atcStreamBase", streamBase);
    if (const QUrl parsed(streamBase); parsed.isValid() && !parsed.scheme().isEmpty())
        s.atcStreamBase = parsed;
    text("atcDomain", s.atcDomain);
    return s;
}

QByteArray Services::userAgent() const
{
    return "Skyvelle/" SKYVELLE_VERSION " (+" + homepage.toString().toUtf8() + ")";
}

QByteArray Services::userAgentWithContact() const
{
    return "Skyvelle/" SKYVELLE_VERSION " (+" + homepage.toString().toUtf8() + "; "
        + contact.toUtf8() + ")";
}
