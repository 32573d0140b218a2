#pragma once
// What Qt hands its native event filters on X11, narrowed to one kind of xcb event.

#include <QByteArray>

#include <xcb/xcb.h>

#include <cstdint>

namespace kadrill::platform::x11 {

/// The event in `message` if Qt's native event is an xcb event of `type`; null otherwise.
template <class Event> const Event* xcbEventOf(const QByteArray& eventType, void* message, std::uint8_t type) {
    if (eventType != "xcb_generic_event_t") {
        return nullptr;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    return (event->response_type & 0x7F) == type ? reinterpret_cast<const Event*>(event) : nullptr;
}

} // namespace kadrill::platform::x11
