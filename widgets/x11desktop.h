// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

/// What Qt's window flags cannot say to an X11 window manager. Without X11 (Wayland, offscreen)
/// these do nothing and the compositor decides.
namespace X11Desktop {

/// Whether a compositing manager runs, so that translucent windows blend with the desktop;
/// without one, rounded corners need a shaped window. False without X11.
bool hasCompositor();
/// Asks the window manager to show @p window on every workspace and to leave it out of the
/// task bar and the pager. Call after the native window exists and before it is first shown.
void keepOnAllWorkspaces(QWidget *window);

} // namespace X11Desktop
