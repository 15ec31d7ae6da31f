#include <xcb/xcb.h>
#include <QGuiApplication>
#include <QWidget>

#include "platform/desktop/WindowHints.h"

namespace dirtally {

namespace {
xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(qstrlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t value = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    free(reply);
    return value;
}
}  // namespace

void keepOutOfTaskBar(QWidget* window) {
    // Only X11 has the request; elsewhere (offscreen, Wayland) the window type has to do.
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection) {
        return;
    }
    const xcb_window_t id = static_cast<xcb_window_t>(window->winId());
    // Qt keeps the states it finds on a window that has not been mapped yet.
    const xcb_atom_t states[] = {atom(connection, "_NET_WM_STATE_SKIP_TASKBAR"),
                                 atom(connection, "_NET_WM_STATE_SKIP_PAGER")};
    xcb_change_property(connection, XCB_PROP_MODE_APPEND, id, atom(connection, "_NET_WM_STATE"),
                        XCB_ATOM_ATOM, 32, 2, states);
    xcb_flush(connection);
}

}  // namespace dirtally
