// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "appcast.h"

/// What the updater tells, and asks, the application: Sparkle's updater delegate and standard
/// user driver delegate in one. Every call arrives on the main thread. The defaults are
/// Sparkle's: no gentle reminders, so the updater shows a scheduled update itself.
class UpdaterDelegate {
public:
    virtual ~UpdaterDelegate() = default;

    /// A check found @p item newer than the running version (and, unless the user asked, not
    /// skipped).
    virtual void didFindValidUpdate(const AppcastItem &item) { Q_UNUSED(item) }
    /// A check found nothing newer (or only the skipped version, unless the user asked).
    virtual void didNotFindUpdate() { }
    /// Whether the application has its own gentle way of pointing at a scheduled update.
    virtual bool supportsGentleScheduledUpdateReminders() const { return false; }
    /// Asked, when gentle reminders are supported, before a scheduled check shows @p item;
    /// false leaves the showing to the application.
    virtual bool shouldHandleShowingScheduledUpdate(const AppcastItem &item, bool immediateFocus)
    {
        Q_UNUSED(item)
        Q_UNUSED(immediateFocus)
        return true;
    }
    /// The updater is about to show @p item in its window (@p handleShowingUpdate), or leaves
    /// it to the application.
    virtual void willHandleShowingUpdate(bool handleShowingUpdate, const AppcastItem &item)
    {
        Q_UNUSED(handleShowingUpdate)
        Q_UNUSED(item)
    }
    /// The user has seen @p item in the updater's window.
    virtual void didReceiveUserAttention(const AppcastItem &item) { Q_UNUSED(item) }
    /// The update session (an interactive check and whatever the user chose) ends.
    virtual void willFinishUpdateSession() { }
};
