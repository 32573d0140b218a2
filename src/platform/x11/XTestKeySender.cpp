#include "XTestKeySender.h"

namespace kadrill::platform::x11 {

// Placeholder until the XTest typing lands: reports that no keys can be sent.
struct XTestKeySender::Connection {};

XTestKeySender::XTestKeySender(const char*) {}

XTestKeySender::~XTestKeySender() = default;

bool XTestKeySender::isAvailable() const { return false; }

bool XTestKeySender::targetHasFocus(std::int64_t) const { return false; }

KeySendResult XTestKeySender::send(const KeyStroke&) {
    return {KeySendResult::Status::Unavailable, "XTest typing not built"};
}

} // namespace kadrill::platform::x11
