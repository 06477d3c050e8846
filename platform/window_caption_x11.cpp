// X11: the title bar shows _NET_WM_NAME (UTF-8), or WM_NAME where a window manager does not
// read the former. Both are written empty on the toolkit's own connection, after the toolkit
// has written the program's name into _NET_WM_NAME.

#include "window_caption.h"

#include <QGuiApplication>
#include <QWidget>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace zr::platform {

namespace {

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

} // namespace

void KeepEmptyCaption(QWidget* window) {
    if (!window->isWindow() || !window->testAttribute(Qt::WA_WState_Created) ||
        !window->windowTitle().isEmpty())
        return;
    // Another platform plugin (Wayland, offscreen) has no X connection.
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c)
        return;
    static const xcb_atom_t netWmName = Atom(c, "_NET_WM_NAME");
    static const xcb_atom_t utf8 = Atom(c, "UTF8_STRING");
    const auto id = static_cast<xcb_window_t>(window->winId());
    if (netWmName != XCB_ATOM_NONE && utf8 != XCB_ATOM_NONE)
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, netWmName, utf8, 8, 0, nullptr);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0,
                        nullptr);
    xcb_flush(c);
}

} // namespace zr::platform
