#pragma once
// A notification area on the session bus as a panel reads it: the items its watcher lists
// and the menu an item publishes, through dbus-send as any client would call them.

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace e2e {

// What `dbus-send --print-reply` prints of a method call on the bus at `busAddress`.
std::string busCall(const std::string& busAddress, const std::string& destination, const std::string& path,
                    const std::string& method, const std::string& arguments);

struct StatusNotifierItem {
    std::string service;
    std::string path;
};

// The items the watcher lists, in its order.
std::vector<StatusNotifierItem> registeredItems(const std::string& busAddress);
// The item that process `owner` registered.
std::optional<StatusNotifierItem> itemOf(const std::string& busAddress, pid_t owner);

// The menu the item publishes, as dbus-send prints its whole layout; or what stood in the way.
std::string publishedMenu(const std::string& busAddress, const StatusNotifierItem& item);
// The id of the entry of a printed layout whose label is `label`.
std::optional<int> menuEntryId(const std::string& layout, const std::string& label);

} // namespace e2e
