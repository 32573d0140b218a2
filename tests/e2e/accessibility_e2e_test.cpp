// The watch as a screen reader reads it: the program's accessible tree, read off the real
// accessibility bus (at-spi2-core on the test's own session bus) by an AT-SPI client.

#include "kadrill_fixture.h"
#include "status_notifier.h"

#include <cstdio>
#include <iostream>
#include <sstream>

namespace e2e {
namespace {

constexpr const char* kFakeStart = "2026-12-08 21:47:10";
constexpr int kFakeStartSecond = (21 * 60 + 47) * 60 + 10;

// One object of the tree.
struct Node {
    int depth = 0;
    std::string role, name, description;
    bool showing = false;
};

std::string shellQuoted(const std::string& s) {
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// The time as the face words it.
std::string spoken(int secondOfDay, bool twelveHour) {
    const int h = secondOfDay / 3600 % 24, m = secondOfDay / 60 % 60, s = secondOfDay % 60;
    const std::string rest = "時" + std::to_string(m) + "分" + std::to_string(s) + "秒";
    if (!twelveHour)
        return std::to_string(h) + rest;
    return (h < 12 ? "午前" : "午後") + std::to_string(h % 12 == 0 ? 12 : h % 12) + rest;
}

std::string printed(const std::vector<Node>& tree) {
    std::string out;
    for (const Node& n : tree) {
        out += std::string(std::size_t(n.depth) * 2 + 2, ' ') + n.role;
        if (!n.name.empty())
            out += " \"" + n.name + "\"";
        if (!n.description.empty())
            out += " [" + n.description + "]";
        out += n.showing ? "\n" : " (hidden)\n";
    }
    return out;
}

class ReadAloud : public KadrillTest {
protected:
    void startOnTheAccessibilityBus() {
        bus_.emplace(configured("KADRILL_E2E_SESSION_BUS_CONFIG"));
        // The desktop's accessibility bus, on this test's session bus; its registry is
        // started on demand from at-spi2-core's own service file.
        launcher_.emplace(std::vector<std::string>{configured("KADRILL_E2E_ATSPI_LAUNCHER"), "--launch-immediately",
                                                   "--a11y=1"},
                          Process::Options{.env = {{"DBUS_SESSION_BUS_ADDRESS", bus_->address()},
                                                   {"DISPLAY", x_.displayName()}},
                                           .quiet = true});
        ASSERT_TRUE(pollUntil(kStartTimeout, [&] {
            return busCall(bus_->address(), "org.freedesktop.DBus", "/org/freedesktop/DBus",
                           "org.freedesktop.DBus.NameHasOwner", "string:org.a11y.Bus")
                       .find("boolean true") != std::string::npos;
        })) << "at-spi-bus-launcher did not take org.a11y.Bus";
        launched_ = WallClock::now();
        EnvChanges env = fakeClock(kFakeStart);
        env.emplace_back("DBUS_SESSION_BUS_ADDRESS", bus_->address());
        env.emplace_back("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
        startKadrill(env);
    }

    std::vector<Node> tree() const {
        const std::string command = "env DISPLAY=" + shellQuoted(x_.displayName()) +
                                    " DBUS_SESSION_BUS_ADDRESS=" + shellQuoted(bus_->address()) + " " +
                                    shellQuoted(configured("KADRILL_E2E_SOURCE_DIR") + "/tests/e2e/atspi_tree.py") +
                                    " Kadrill 2>/dev/null";
        std::vector<Node> nodes;
        if (FILE* pipe = popen(command.c_str(), "r")) {
            char buffer[4096];
            while (fgets(buffer, sizeof buffer, pipe) != nullptr) {
                std::istringstream line(std::string(buffer).substr(0, std::string(buffer).find('\n')));
                Node n;
                std::string depth, showing;
                if (std::getline(line, depth, '\t') && std::getline(line, n.role, '\t') &&
                    std::getline(line, n.name, '\t') && std::getline(line, n.description, '\t') &&
                    std::getline(line, showing)) {
                    n.depth = std::stoi(depth);
                    n.showing = showing == "1";
                    nodes.push_back(n);
                }
            }
            pclose(pipe);
        }
        return nodes;
    }

    // The showing top-level window with this title: its subtree, itself first.
    static std::vector<Node> window(const std::vector<Node>& tree, const std::string& title) {
        for (std::size_t i = 0; i < tree.size(); ++i) {
            if (tree[i].depth == 1 && tree[i].name == title && tree[i].showing) {
                std::size_t end = i + 1;
                while (end < tree.size() && tree[end].depth > 1)
                    ++end;
                return {tree.begin() + long(i), tree.begin() + long(end)};
            }
        }
        return {};
    }

    // Waits until the window with this title reads as `ok` says; returns what it read last.
    std::vector<Node> waitForWindow(const std::string& title, const std::function<bool(const std::vector<Node>&)>& ok) {
        std::vector<Node> last;
        pollUntil(kStartTimeout, [&] {
            last = window(tree(), title);
            return !last.empty() && ok(last);
        });
        return last;
    }

    std::optional<PrivateSessionBus> bus_;
    std::optional<Process> launcher_;
    WallClock::time_point launched_;
};

// The first showing object of the role with this name.
const Node* find(const std::vector<Node>& nodes, const std::string& role, const std::string& name) {
    for (const Node& n : nodes)
        if (n.role == role && n.name == name && n.showing)
            return &n;
    return nullptr;
}

TEST_F(ReadAloud, TheFaceReadsAsItShowsAndEveryControlHasAName) {
    ASSERT_FALSE(configured("KADRILL_E2E_FAKETIME_LIB").empty()) << "libfaketime was not found at configure time";
    startWindowManager();
    ASSERT_NO_FATAL_FAILURE(startOnTheAccessibilityBus());
    const Window main = mainWindow();
    ASSERT_NE(main, None);
    ASSERT_TRUE(waitForFace(main));
    // The watch takes the keyboard, as from a click on its bare face.
    const auto giveTheWatchTheKeys = [&] {
        const auto onScreen = pollFor<FaceGrab>(kStartTimeout, [&] { return faceOnScreen(); });
        ASSERT_TRUE(onScreen) << "the face is not on the screen" << screenshotNote(*x_.grab(x_.root()), "no-face");
        clickFace(onScreen->origin, face::kBareFace);
    };
    giveTheWatchTheKeys();

    // The face's own text is the time it shows; each row switches the hour look from the
    // keyboard first, by the display menu's keys (the Menu key, then Shift+F10).
    struct Row {
        const char* how;
        std::vector<std::vector<std::string>> keys;
        bool twelveHour;
    };
    const Row rows[] = {
        {"as it starts", {}, false},
        {"12-hour, by the Menu key", {{"Menu"}, {"w"}}, true},
        {"24-hour again, by Shift+F10", {{"Shift_L", "F10"}, {"w"}}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.how);
        for (const auto& chord : row.keys) {
            x_.keyChord(chord);
            std::this_thread::sleep_for(300ms);
        }
        const auto readsTheTime = [&](const std::vector<Node>& w) {
            const int now = kFakeStartSecond + static_cast<int>(secondsSince(launched_));
            for (int s : {now - 1, now, now + 1})
                if (w.size() > 1 && w[1].role == "label" && w[1].name == spoken(s, row.twelveHour))
                    return true;
            return false;
        };
        const auto watch = waitForWindow("Kadrill", readsTheTime);
        ASSERT_TRUE(readsTheTime(watch)) << "the face does not read as the clock, which is about "
                                         << spoken(kFakeStartSecond + int(secondsSince(launched_)), row.twelveHour)
                                         << ":\n"
                                         << printed(watch);
        const Node* pm = find(watch, "label", "午後");
        if (row.twelveHour) {
            ASSERT_NE(pm, nullptr) << printed(watch);
            EXPECT_EQ(pm->description, "点灯") << "in the evening PM is lit";
            ASSERT_NE(find(watch, "label", "午前"), nullptr);
            EXPECT_EQ(find(watch, "label", "午前")->description, "消灯");
        } else {
            EXPECT_EQ(pm, nullptr) << "the 24-hour look shows no PM\n" << printed(watch);
        }
        std::cout << "watch, " << row.how << ":\n" << printed(watch);
    }

    // Every control of the dialogs and the ramen timer has a name to be read by.
    const struct {
        std::string title;
        std::vector<std::string> keys;
    } windows[] = {{"時刻の設定", {"s", "t"}}, {"ｱﾗｰﾑの設定", {"s", "a"}}, {"ﾗｰﾒﾝﾀｲﾏｰ", {"t", "n"}}};
    for (const auto& w : windows) {
        SCOPED_TRACE(w.title);
        x_.keyChord({"Alt_L", w.keys[0]});
        std::this_thread::sleep_for(300ms);
        x_.keyChord({w.keys[1]});
        const auto read = waitForWindow(w.title, [](const std::vector<Node>& n) { return n.size() > 5; });
        ASSERT_FALSE(read.empty()) << "no window " << w.title << " on the accessibility bus";
        for (const Node& n : read)
            for (const char* role : {"push button", "radio button", "text", "list", "check box"})
                EXPECT_TRUE(n.role != role || !n.name.empty()) << "a nameless " << role << " in\n" << printed(read);
        std::cout << w.title << ":\n" << printed(read);
        // Escape puts a dialog away; the next one opens from the watch.
        x_.keyChord({"Escape"});
        std::this_thread::sleep_for(300ms);
        giveTheWatchTheKeys();
    }
}

} // namespace
} // namespace e2e
