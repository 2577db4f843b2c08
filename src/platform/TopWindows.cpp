#include "TopWindows.h"

#include <xcb/xcb.h>

#include <QByteArray>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "TextCodec.h"

namespace {

// Window managers put a client window into a frame of their own: look one level down.
constexpr int kFrameDepth = 2;

struct Free {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, Free>;

class Display {
public:
    Display() {
        if (std::getenv("DISPLAY") == nullptr)
            return;
        connection_ = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(connection_)) {
            xcb_disconnect(connection_);
            connection_ = nullptr;
        }
    }
    ~Display() {
        if (connection_)
            xcb_disconnect(connection_);
    }
    explicit operator bool() const { return connection_ != nullptr; }
    xcb_connection_t* get() const { return connection_; }
    xcb_window_t Root() const {
        return xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    }

    xcb_atom_t Atom(const char* name) const {
        Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
            connection_,
            xcb_intern_atom(connection_, 0, static_cast<uint16_t>(std::strlen(name)), name),
            nullptr));
        return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    }

    QByteArray Property(xcb_window_t window, xcb_atom_t property) const {
        Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            connection_,
            xcb_get_property(connection_, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
            nullptr));
        if (!reply || reply->format != 8)
            return {};
        return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                          xcb_get_property_value_length(reply.get()));
    }

private:
    xcb_connection_t* connection_ = nullptr;
};

// The title as a window may carry it: UTF-8 in _NET_WM_NAME, the local 8-bit text in WM_NAME.
bool HasTitle(const Display& display, xcb_window_t window, xcb_atom_t netName,
              const QString& title) {
    const QByteArray utf8 = display.Property(window, netName);
    if (!utf8.isEmpty())
        return QString::fromUtf8(utf8) == title;
    const QByteArray name = display.Property(window, XCB_ATOM_WM_NAME);
    return !name.isEmpty() && (QString::fromUtf8(name) == title || FromGbk(name) == title);
}

xcb_window_t Find(const Display& display, xcb_window_t parent, xcb_atom_t netName,
                  const QString& title, int depth) {
    Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(display.get(), xcb_query_tree(display.get(), parent), nullptr));
    if (!tree)
        return XCB_WINDOW_NONE;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());
    for (int i = 0; i < count; ++i) {
        if (HasTitle(display, children[i], netName, title))
            return children[i];
    }
    if (depth > 1) {
        for (int i = 0; i < count; ++i) {
            const xcb_window_t found = Find(display, children[i], netName, title, depth - 1);
            if (found != XCB_WINDOW_NONE)
                return found;
        }
    }
    return XCB_WINDOW_NONE;
}

xcb_window_t FindTopLevel(const Display& display, const QString& title) {
    if (!display || title.isEmpty())
        return XCB_WINDOW_NONE;
    return Find(display, display.Root(), display.Atom("_NET_WM_NAME"), title, kFrameDepth);
}

}  // namespace

bool TopLevelWindowExists(const QString& title) {
    const Display display;
    return FindTopLevel(display, title) != XCB_WINDOW_NONE;
}

bool LowerTopLevelWindow(const QString& title) {
    const Display display;
    const xcb_window_t window = FindTopLevel(display, title);
    if (window == XCB_WINDOW_NONE)
        return false;
    // The window manager keeps the stacking layers: ask it to drop the "above" state.
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = display.Atom("_NET_WM_STATE");
    event.data.data32[0] = 0;  // remove
    event.data.data32[1] = display.Atom("_NET_WM_STATE_ABOVE");
    event.data.data32[3] = 1;  // from an application
    xcb_send_event(display.get(), 0, display.Root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(display.get());
    return true;
}
