#include "StartupFeedback.h"

#include <QGuiApplication>
#include <qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace kadrill::platform::x11 {

namespace {

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t result = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return result;
}

} // namespace

std::string startupValue(const std::string& value) {
    std::string out;
    for (char c : value) {
        if (c == ' ' || c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out;
}

std::vector<std::array<char, 20>> startupMessagePieces(const std::string& message) {
    std::vector<std::array<char, 20>> pieces;
    for (std::size_t at = 0; at < message.size() + 1; at += 20) {
        std::array<char, 20> piece{};
        message.copy(piece.data(), piece.size(), at);
        pieces.push_back(piece);
    }
    return pieces;
}

std::string startupRemoveMessage(const std::string& startupId) { return "remove: ID=" + startupValue(startupId); }

bool endStartupFeedback(const std::string& startupId) {
    if (startupId.empty() || QGuiApplication::platformName() != QLatin1String("xcb")) {
        return false;
    }
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 != nullptr ? x11->connection() : nullptr;
    if (c == nullptr) {
        return false;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const xcb_atom_t begin = atom(c, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = atom(c, "_NET_STARTUP_INFO");
    // The messages name a window of the sender's; an unmapped one of our own will do.
    const xcb_window_t sender = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, sender, root, -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, 0, nullptr);

    bool first = true;
    for (const auto& piece : startupMessagePieces(startupRemoveMessage(startupId))) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 8;
        event.window = sender;
        event.type = first ? begin : more;
        first = false;
        std::memcpy(event.data.data8, piece.data(), piece.size());
        xcb_send_event(c, 0, root, XCB_EVENT_MASK_PROPERTY_CHANGE, reinterpret_cast<const char*>(&event));
    }
    xcb_destroy_window(c, sender);
    xcb_flush(c);
    return true;
}

} // namespace kadrill::platform::x11
