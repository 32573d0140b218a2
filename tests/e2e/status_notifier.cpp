#include "status_notifier.h"

#include <cstdio>
#include <cstdlib>

namespace e2e {

namespace {

// The quoted strings of dbus-send's output from `from` on, in order.
std::vector<std::string> quotedStrings(const std::string& text, std::size_t from = 0) {
    std::vector<std::string> out;
    for (auto start = text.find('"', from); start != std::string::npos; start = text.find('"', start)) {
        const auto end = text.find('"', start + 1);
        if (end == std::string::npos)
            break;
        out.push_back(text.substr(start + 1, end - start - 1));
        start = end + 1;
    }
    return out;
}

} // namespace

std::string busCall(const std::string& busAddress, const std::string& destination, const std::string& path,
                    const std::string& method, const std::string& arguments) {
    const std::string command = "dbus-send --bus='" + busAddress + "' --print-reply --dest=" + destination + " " +
                                path + " " + method + " " + arguments + " 2>&1";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char chunk[4096];
        while (const std::size_t n = fread(chunk, 1, sizeof chunk, pipe))
            out.append(chunk, n);
        pclose(pipe);
    }
    return out;
}

std::vector<StatusNotifierItem> registeredItems(const std::string& busAddress) {
    const std::string items = busCall(busAddress, "org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
                                      "org.freedesktop.DBus.Properties.Get",
                                      "string:org.kde.StatusNotifierWatcher string:RegisteredStatusNotifierItems");
    const auto array = items.find("array");
    if (array == std::string::npos)
        return {};
    std::vector<StatusNotifierItem> out;
    // "service/path" (GNOME's extension: "service@/path"), or the service alone at the usual path
    for (const std::string& item : quotedStrings(items, array)) {
        const auto slash = item.find('/');
        if (item.empty() || slash == 0)
            continue;
        if (slash == std::string::npos) {
            out.push_back({item, "/StatusNotifierItem"});
            continue;
        }
        const auto serviceEnd = slash > 0 && item[slash - 1] == '@' ? slash - 1 : slash;
        out.push_back({item.substr(0, serviceEnd), item.substr(slash)});
    }
    return out;
}

std::optional<StatusNotifierItem> itemOf(const std::string& busAddress, pid_t owner) {
    for (const auto& item : registeredItems(busAddress)) {
        const std::string said = busCall(busAddress, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                         "org.freedesktop.DBus.GetConnectionUnixProcessID", "string:" + item.service);
        const auto at = said.find("uint32 ");
        if (at != std::string::npos && std::atol(said.c_str() + at + 7) == owner)
            return item;
    }
    return std::nullopt;
}

std::string publishedMenu(const std::string& busAddress, const StatusNotifierItem& item) {
    const std::string menu = busCall(busAddress, item.service, item.path, "org.freedesktop.DBus.Properties.Get",
                                     "string:org.kde.StatusNotifierItem string:Menu");
    const auto at = menu.find("object path");
    const auto paths = at == std::string::npos ? std::vector<std::string>{} : quotedStrings(menu, at);
    if (paths.empty())
        return "no menu: " + menu;
    return busCall(busAddress, item.service, paths.front(), "com.canonical.dbusmenu.GetLayout",
                   "int32:0 int32:-1 array:string:");
}

std::optional<int> menuEntryId(const std::string& layout, const std::string& label) {
    const auto at = layout.find("\"" + label + "\"");
    if (at == std::string::npos)
        return std::nullopt;
    // Each entry is a struct of its id, then its properties.
    const auto id = layout.rfind("int32 ", at);
    if (id == std::string::npos)
        return std::nullopt;
    return std::atoi(layout.c_str() + id + 6);
}

} // namespace e2e
