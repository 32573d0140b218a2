#pragma once

#include "PrivateSystemBus.h"

namespace kadrill::testsupport {

/// The bus every test in this program shares: Qt keeps its first system-bus connection
/// for good, so there is one bus for the whole run.
PrivateSystemBus& sharedBus();

} // namespace kadrill::testsupport
