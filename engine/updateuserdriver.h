// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "appcast.h"

#include <QString>

#include <functional>

/// What the user answered to a new version.
enum class UpdateChoice {
    download, ///< open its download page
    remindLater, ///< close; the next check points at it again
    skip, ///< never point at this version again, unless the user checks by hand
};

/// The updater's window: what an update session shows, in Sparkle's user driver's terms. The
/// updater calls one show… at a time and closes with dismissUpdateInstallation(). Each callback
/// may be called once; calls after the session ended are ignored.
class UpdateUserDriver {
public:
    virtual ~UpdateUserDriver() = default;

    /// "Checking for updates…"; @p cancel stops the check and ends the session.
    virtual void showUserInitiatedUpdateCheck(std::function<void()> cancel) = 0;
    /// A new version, running @p currentVersion, with its inline notes if it has any; @p reply
    /// takes the user's choice and ends the session.
    virtual void showUpdateFound(const AppcastItem &item, const QString &currentVersion,
        std::function<void(UpdateChoice)> reply) = 0;
    /// The notes behind the item's release-notes link, once downloaded.
    virtual void showUpdateReleaseNotes(const QString &notes) = 0;
    /// The release-notes link gave nothing; @p error says why in one line.
    virtual void showUpdateReleaseNotesFailedToDownload(const QString &error) = 0;
    /// Nothing newer than @p currentVersion; @p acknowledgement ends the session.
    virtual void showUpdateNotFound(
        const QString &currentVersion, std::function<void()> acknowledgement) = 0;
    /// The check failed; @p error says why in one line; @p acknowledgement ends the session.
    virtual void showUpdaterError(const QString &error, std::function<void()> acknowledgement) = 0;
    /// The user asked again while the window is up: bring it forward.
    virtual void showUpdateInFocus() = 0;
    /// The session has ended: close the window.
    virtual void dismissUpdateInstallation() = 0;
};
