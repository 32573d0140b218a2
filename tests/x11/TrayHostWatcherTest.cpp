#include "platform/x11/TrayHostWatcher.h"

// Qt and GoogleTest before Xlib: Xlib's macros (Bool, Status, None) break their headers.
#include <QCoreApplication>
#include <QTest>
#include <gtest/gtest.h>

#include "x_harness.h"

#include <X11/Xlib.h>

#include <signal.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using kadrill::platform::x11::TrayHostWatcher;
using namespace std::chrono_literals;

namespace {

// Generous: trayer is a GTK program and a loaded machine starts it slowly.
constexpr int kHostTimeoutMs = 10'000;

bool waitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, kHostTimeoutMs); }

class TrayHostWatcherTest : public ::testing::Test {
protected:
    e2e::XServer x_;
    Atom traySelection_ = x_.atom("_NET_SYSTEM_TRAY_S0");
    std::vector<bool> seen_; // present() as each onChange call found it
    std::unique_ptr<TrayHostWatcher> watcher_;

    void startWatcher(const char* displayName) {
        watcher_ = std::make_unique<TrayHostWatcher>([this] { seen_.push_back(watcher_->present()); }, displayName);
    }

    void startTrayer(std::optional<e2e::Process>& host) {
        host.emplace(std::vector<std::string>{"trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                                              "--height", "24", "--transparent", "false", "--expand", "true"},
                     e2e::Process::Options{.env = {{"DISPLAY", x_.displayName()}}, .quiet = true});
    }

    bool trayOwned() const { return XGetSelectionOwner(x_.dpy(), traySelection_) != None; }

    Window createWindow() {
        const Window w = XCreateSimpleWindow(x_.dpy(), x_.root(), 0, 0, 10, 10, 0, 0, 0);
        XSync(x_.dpy(), False);
        return w;
    }

    void setOwner(Window owner) {
        XSetSelectionOwner(x_.dpy(), traySelection_, owner, CurrentTime);
        XSync(x_.dpy(), False);
    }
};

TEST_F(TrayHostWatcherTest, FollowsAHostThatStartsQuitsCrashesAndComesBack) {
    startWatcher(x_.displayName().c_str());
    ASSERT_TRUE(watcher_->isWatching());
    EXPECT_FALSE(watcher_->present());

    std::optional<e2e::Process> host;
    startTrayer(host);
    ASSERT_TRUE(waitFor([&] { return seen_.size() == 1; })) << "no call when the tray host started";
    EXPECT_TRUE(watcher_->present());

    host.reset(); // SIGTERM: the host quits
    ASSERT_TRUE(waitFor([&] { return seen_.size() == 2; })) << "no call when the tray host quit";
    EXPECT_FALSE(watcher_->present());

    startTrayer(host);
    ASSERT_TRUE(waitFor([&] { return seen_.size() == 3; })) << "no call when the tray host came back";
    EXPECT_TRUE(watcher_->present());

    ASSERT_EQ(kill(-host->pid(), SIGKILL), 0); // a crash: the server cleans up after the client
    ASSERT_TRUE(waitFor([&] { return seen_.size() == 4; })) << "no call when the tray host crashed";
    EXPECT_FALSE(watcher_->present());

    QTest::qWait(200); // room for a stray extra call
    EXPECT_EQ(seen_, (std::vector<bool>{true, false, true, false}));
}

// The usual start: the panel runs first, and the display comes from the environment.
TEST_F(TrayHostWatcherTest, KnowsAHostThatWasThereFirst) {
    std::optional<e2e::Process> host;
    startTrayer(host);
    ASSERT_TRUE(e2e::pollUntil(10s, [&] { return trayOwned(); })) << "trayer never took the tray selection";

    setenv("DISPLAY", x_.displayName().c_str(), 1); // nothing else here reads it
    startWatcher(nullptr);
    ASSERT_TRUE(watcher_->isWatching());
    EXPECT_TRUE(watcher_->present());

    QTest::qWait(200);
    EXPECT_TRUE(seen_.empty()) << "a call although nothing changed";
}

// The kinds of owner change trayer does not make, driven from our own connection. The
// watcher takes changes in the order the server made them, so once it reports a release it
// has also taken in the handover before it.
TEST_F(TrayHostWatcherTest, TellsOwnerChangesFromHandovers) {
    startWatcher(x_.displayName().c_str());
    const Window first = createWindow();
    const Window second = createWindow();

    setOwner(first);
    ASSERT_TRUE(waitFor([&] { return seen_.size() == 1; }));
    EXPECT_TRUE(watcher_->present());

    setOwner(second);  // one host replaces another: still a tray, no call
    QTest::qWait(100); // taken in on a wake of its own, not together with the release
    setOwner(None);    // released without a new owner
    ASSERT_TRUE(waitFor([&] { return !watcher_->present(); }));

    setOwner(first);
    ASSERT_TRUE(waitFor([&] { return watcher_->present(); }));
    XDestroyWindow(x_.dpy(), first); // the owner's window goes, its client stays
    XSync(x_.dpy(), False);
    ASSERT_TRUE(waitFor([&] { return !watcher_->present(); }));

    EXPECT_EQ(seen_, (std::vector<bool>{true, false, true, false}));
}

TEST(TrayHostWatcherWithoutDisplay, DoesNotWatch) {
    // The display of a server that has ended; "unix:" keeps Xlib from trying TCP as well.
    const std::string missing = "unix" + e2e::XServer().displayName();
    int calls = 0;
    {
        TrayHostWatcher watcher([&] { ++calls; }, missing.c_str());
        EXPECT_FALSE(watcher.isWatching());
        EXPECT_FALSE(watcher.present());
    }
    {
        unsetenv("DISPLAY");
        TrayHostWatcher watcher([&] { ++calls; });
        EXPECT_FALSE(watcher.isWatching());
        EXPECT_FALSE(watcher.present());
    }
    QTest::qWait(50);
    EXPECT_EQ(calls, 0);
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
