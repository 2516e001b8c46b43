// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QUrl>
#include <QVariantMap>

/// Every outside address the system talks to, with public defaults. A user (or a test) can
/// override any entry by its key from the "[services]" group of the settings file.
struct Services {
    QUrl feedPrimary; ///< base address; "/v2/point/…" is appended
    QUrl feedSecondary; ///< base address; "/api/v2/lat/…/lon/…/dist/…" is appended
    QString feedPrimaryName;
    QString feedSecondaryName;
    QUrl homepage; ///< the project's address, carried in User-Agent values
    QString contact; ///< the project's contact e-mail, carried where a service asks for one
    QUrl geocoder; ///< Nominatim base address
    QUrl routes; ///< route database base address
    QUrl photos; ///< aircraft photo service base address
    QUrl globe; ///< globe viewer base address
    QString tilesStandard; ///< XYZ template with {z}, {x}, {y}
    QString tilesImagery;
    QString tilesOverlay;
    QUrl atcStreamBase; ///< ATC audio directory's stream base, ending in "/"; a mount is appended
    QString atcDomain; ///< ATC audio directory's domain; plain http on its hosts is upgraded
    QUrl appcast; ///< the release feed; unless set, "appcast.xml" under the homepage

    /// The public defaults.
    static Services defaults();
    /// The defaults with every recognised key of @p overrides (key → text) applied.
    /// Empty values and unknown keys are ignored.
    static Services withOverrides(const QVariantMap &overrides);
    /// The "[services]" group of the INI settings file at @p settingsFile (key → text).
    static QVariantMap overridesIn(const QString &settingsFile);

    /// "Skyvelle/<version> (+<homepage>)", the identity every request carries.
    QByteArray userAgent() const;
    /// userAgent() with the contact address, for services that ask for one.
    QByteArray userAgentWithContact() const;
};
