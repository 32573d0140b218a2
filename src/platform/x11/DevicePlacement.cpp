#include "DevicePlacement.h"

#include <QGuiApplication>
#include <qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>

namespace kadrill::platform::x11 {

namespace {

xcb_connection_t* connection() {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 != nullptr ? x11->connection() : nullptr;
}

} // namespace

std::optional<QPoint> ScreenOrigin(WId window) {
    xcb_connection_t* c = connection();
    if (c == nullptr || window == 0) {
        return std::nullopt;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_translate_coordinates_reply_t* reply = xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, static_cast<xcb_window_t>(window), root, 0, 0), nullptr);
    if (reply == nullptr) {
        return std::nullopt;
    }
    const QPoint origin(reply->dst_x, reply->dst_y);
    std::free(reply);
    return origin;
}

bool MoveClientTo(WId window, QPoint devicePos) {
    xcb_connection_t* c = connection();
    if (c == nullptr || window == 0) {
        return false;
    }
    const auto w = static_cast<xcb_window_t>(window);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr);
    if (tree == nullptr) {
        return false;
    }
    const bool framed = tree->parent != root;
    std::free(tree);
    if (!framed) {
        const std::uint32_t xy[] = {static_cast<std::uint32_t>(devicePos.x()),
                                    static_cast<std::uint32_t>(devicePos.y())};
        xcb_configure_window(c, w, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, xy);
    } else {
        constexpr std::uint32_t kStaticGravity = 10, kHasX = 1u << 8, kHasY = 1u << 9, kFromApplication = 1u << 12;
        const char name[] = "_NET_MOVERESIZE_WINDOW";
        xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof name - 1, name), nullptr);
        if (atom == nullptr) {
            return false;
        }
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = w;
        message.type = atom->atom;
        std::free(atom);
        message.data.data32[0] = kStaticGravity | kHasX | kHasY | kFromApplication;
        message.data.data32[1] = static_cast<std::uint32_t>(devicePos.x());
        message.data.data32[2] = static_cast<std::uint32_t>(devicePos.y());
        xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&message));
    }
    xcb_flush(c);
    return true;
}

} // namespace kadrill::platform::x11
