#include "BusTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

using kadrill::testsupport::sharedBus;

TEST(PrivateSystemBus, TakesOnlyItsOwnSocketForPrivate) {
    const auto& bus = sharedBus();
    const std::string socket = bus.directory() + "/system_bus_socket";
    EXPECT_TRUE(bus.isPrivateAddress(bus.address()));
    EXPECT_TRUE(bus.isPrivateAddress("unix:path=" + socket));
    for (const std::string& elsewhere : {
             std::string("unix:path=/run/dbus/system_bus_socket"),
             std::string(),
             // libdbus would go on to the next address of a list once this bus is gone.
             "unix:path=" + socket + ";unix:path=/run/dbus/system_bus_socket",
             "unix:path=" + socket + "2",
             bus.address() + ",path=/run/dbus/system_bus_socket",
             "unix:abstract=" + socket,
             std::string("tcp:host=localhost,port=1"),
         }) {
        EXPECT_FALSE(bus.isPrivateAddress(elsewhere)) << elsewhere;
    }
}

TEST(PrivateSystemBus, NoticesWhenTheSystemBusVariableNamesAnotherBus) {
    const auto& bus = sharedBus();
    const std::string ours = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    std::string why;
    EXPECT_TRUE(bus.systemBusIsPrivate(&why)) << why;

    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/run/dbus/system_bus_socket", 1);
    EXPECT_FALSE(bus.systemBusIsPrivate(&why));
    EXPECT_NE(why.find("/run/dbus/system_bus_socket"), std::string::npos) << why;
    ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    EXPECT_FALSE(bus.systemBusIsPrivate(&why));
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", ours.c_str(), 1);
    EXPECT_TRUE(bus.systemBusIsPrivate(&why)) << why;
}

} // namespace
