// SPDX-License-Identifier: GPL-3.0-or-later
#include "x11desktop.h"

#include <QGuiApplication>
#include <QWidget>

#include <memory>
#include <xcb/xcb.h>

namespace {

xcb_connection_t *connection()
{
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t *connection, const char *name)
{
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, false, uint16_t(strlen(name)), name);
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

} // namespace

namespace X11Desktop {

bool hasCompositor()
{
    xcb_connection_t *x = connection();
    if (!x)
        return false;
    // A compositing manager owns the selection _NET_WM_CM_S<screen> (EWMH).
    const xcb_get_selection_owner_cookie_t cookie =
        xcb_get_selection_owner(x, atom(x, "_NET_WM_CM_S0"));
    const std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&free)> reply(
        xcb_get_selection_owner_reply(x, cookie, nullptr), &free);
    return reply && reply->owner != XCB_NONE;
}

void keepOnAllWorkspaces(QWidget *window)
{
    xcb_connection_t *x = connection();
    if (!x)
        return;
    const xcb_window_t id = xcb_window_t(window->winId());
    // Qt merges the states it sets at mapping with those already on the window.
    const xcb_atom_t states[] = { atom(x, "_NET_WM_STATE_STICKY"),
        atom(x, "_NET_WM_STATE_SKIP_TASKBAR"), atom(x, "_NET_WM_STATE_SKIP_PAGER") };
    xcb_change_property(
        x, XCB_PROP_MODE_REPLACE, id, atom(x, "_NET_WM_STATE"), XCB_ATOM_ATOM, 32, 3, states);
    const uint32_t allDesktops = 0xFFFFFFFF;
    xcb_change_property(x, XCB_PROP_MODE_REPLACE, id, atom(x, "_NET_WM_DESKTOP"), XCB_ATOM_CARDINAL,
        32, 1, &allDesktops);
    xcb_flush(x);
}

} // namespace X11Desktop
