// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Asking the desktop to let Skyvelle post notifications. Desktop notifications need no
// permission, so this one asks nothing; tests put a counting one in its place.
class NotificationPermission {
public:
    virtual ~NotificationPermission() = default;
    virtual void request() { }
};
