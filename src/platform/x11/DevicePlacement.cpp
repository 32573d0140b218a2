#include "DevicePlacement.h"

#include "XcbEvents.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace kadrill::platform::x11 {

namespace {

xcb_connection_t* connection() {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 != nullptr ? x11->connection() : nullptr;
}

xcb_window_t rootOf(xcb_connection_t* c) { return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root; }

xcb_atom_t atomNamed(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    if (reply == nullptr) {
        return XCB_ATOM_NONE;
    }
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

// The 32-bit items of a property; empty where it is not set.
std::vector<std::uint32_t> property32(xcb_connection_t* c, xcb_window_t window, xcb_atom_t name, xcb_atom_t type) {
    std::vector<std::uint32_t> items;
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, name, type, 0, 1024), nullptr);
    if (reply == nullptr) {
        return items;
    }
    if (reply->format == 32) {
        const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
        items.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return items;
}

// Whether the window manager has taken `window` into a frame of its own.
bool inFrame(xcb_connection_t* c, xcb_window_t window) {
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr);
    if (tree == nullptr) {
        return false;
    }
    const bool framed = tree->parent != rootOf(c);
    std::free(tree);
    return framed;
}

} // namespace

std::optional<QPoint> screenOrigin(WId window) {
    xcb_connection_t* c = connection();
    if (c == nullptr || window == 0) {
        return std::nullopt;
    }
    const xcb_window_t root = rootOf(c);
    xcb_translate_coordinates_reply_t* reply = xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, static_cast<xcb_window_t>(window), root, 0, 0), nullptr);
    if (reply == nullptr) {
        return std::nullopt;
    }
    const QPoint origin(reply->dst_x, reply->dst_y);
    std::free(reply);
    return origin;
}

bool moveClientTo(WId window, QPoint devicePos) {
    xcb_connection_t* c = connection();
    if (c == nullptr || window == 0) {
        return false;
    }
    const auto w = static_cast<xcb_window_t>(window);
    const xcb_window_t root = rootOf(c);
    if (!inFrame(c, w)) {
        const std::uint32_t xy[] = {static_cast<std::uint32_t>(devicePos.x()),
                                    static_cast<std::uint32_t>(devicePos.y())};
        xcb_configure_window(c, w, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, xy);
    } else {
        constexpr std::uint32_t kStaticGravity = 10, kHasX = 1u << 8, kHasY = 1u << 9, kFromApplication = 1u << 12;
        const xcb_atom_t atom = atomNamed(c, "_NET_MOVERESIZE_WINDOW");
        if (atom == XCB_ATOM_NONE) {
            return false;
        }
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = w;
        message.type = atom;
        message.data.data32[0] = kStaticGravity | kHasX | kHasY | kFromApplication;
        message.data.data32[1] = static_cast<std::uint32_t>(devicePos.x());
        message.data.data32[2] = static_cast<std::uint32_t>(devicePos.y());
        xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&message));
    }
    xcb_flush(c);
    return true;
}

std::optional<QPoint> frameMargin(WId window) {
    xcb_connection_t* c = connection();
    if (c == nullptr || window == 0) {
        return std::nullopt;
    }
    const auto w = static_cast<xcb_window_t>(window);
    // Left over from an earlier frame while the window is out of one: not this frame's.
    if (!inFrame(c, w)) {
        return std::nullopt;
    }
    const std::vector<std::uint32_t> extents = property32(c, w, atomNamed(c, "_NET_FRAME_EXTENTS"), XCB_ATOM_CARDINAL);
    if (extents.size() < 4) {
        return std::nullopt;
    }
    // Left, right, top, bottom.
    return QPoint(static_cast<int>(extents[0]), static_cast<int>(extents[2]));
}

bool framesAreTold() {
    xcb_connection_t* c = connection();
    if (c == nullptr) {
        return false;
    }
    const xcb_window_t root = rootOf(c);
    // A window manager that has gone leaves its list of what it supports behind.
    if (property32(c, root, atomNamed(c, "_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW).empty()) {
        return false;
    }
    const xcb_atom_t extents = atomNamed(c, "_NET_FRAME_EXTENTS");
    const std::vector<std::uint32_t> supported = property32(c, root, atomNamed(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM);
    return extents != XCB_ATOM_NONE && std::find(supported.begin(), supported.end(), extents) != supported.end();
}

// Qt passes on the property changes of its own windows; this one is the window manager's.
class FrameWatch::Filter final : public QAbstractNativeEventFilter {
public:
    Filter(xcb_window_t window, xcb_atom_t extents, std::function<void()> told)
        : window_(window), extents_(extents), told_(std::move(told)) {}

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        const auto* change = xcbEventOf<xcb_property_notify_event_t>(eventType, message, XCB_PROPERTY_NOTIFY);
        if (change != nullptr && change->window == window_ && change->atom == extents_ && change->state == XCB_PROPERTY_NEW_VALUE) {
            told_();
        }
        return false; // Qt reads the frame from it too
    }

private:
    xcb_window_t window_;
    xcb_atom_t extents_;
    std::function<void()> told_;
};

FrameWatch::FrameWatch(WId window, std::function<void()> told) {
    xcb_connection_t* c = connection();
    if (c == nullptr || window == 0 || QCoreApplication::instance() == nullptr) {
        return;
    }
    filter_ = std::make_unique<Filter>(static_cast<xcb_window_t>(window), atomNamed(c, "_NET_FRAME_EXTENTS"),
                                       std::move(told));
    QCoreApplication::instance()->installNativeEventFilter(filter_.get());
}

FrameWatch::~FrameWatch() {
    if (filter_ != nullptr && QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeNativeEventFilter(filter_.get());
    }
}

} // namespace kadrill::platform::x11
