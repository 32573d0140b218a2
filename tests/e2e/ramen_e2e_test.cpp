// The ramen timer driven as a person would: opened from the main window's menu by its
// access keys, started, left to finish behind another window, reset and closed, all
// read back from the screen. The program runs ten times faster than the wall clock, so
// three minutes pass in eighteen seconds.

#include "kadrill_fixture.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <set>
#include <string>
#include <thread>

namespace {

using namespace e2e;

constexpr int kSpeedUp = 10;
constexpr const char* kTitle = "ﾗｰﾒﾝﾀｲﾏｰ";

// Where the parts lie in the timer's client area, in pixels: the frame at (8, 8), the cup
// pictures at (8, 24) in it, the speech bubble at (112, 24) in it.
constexpr int kCupX = 16, kCupY = 32;
constexpr int kBubbleX = 120, kBubbleY = 32;
// A point of the bubble's white body clear of any text, and one of the peeled-back lid
// of the opened cup, where the closed cup leaves the ground bare.
constexpr int kBubbleWhiteX = kBubbleX + 170, kBubbleWhiteY = kBubbleY + 40;
constexpr int kLidFlapX = kCupX + 80, kLidFlapY = kCupY + 22;

bool bubbleShown(const Image& image) { return image.at(kBubbleWhiteX, kBubbleWhiteY) == Rgb{255, 255, 255}; }

// The silver underside of the peeled lid: bluish grey, unlike the neutral dialog ground.
bool cupOpened(const Image& image) {
    const Rgb c = image.at(kLidFlapX, kLidFlapY);
    return c.b > c.r + 8;
}

// The steam above the closed lid, as text, so two frames compare at once.
std::string steam(const Image& image) {
    std::string pixels;
    for (int y = kCupY; y < kCupY + 30; ++y)
        for (int x = kCupX + 25; x < kCupX + 75; ++x)
            pixels += toString(image.at(x, y));
    return pixels;
}

class RamenTimer : public KadrillTest {
protected:
    void SetUp() override {
        KadrillTest::SetUp();
        ASSERT_FALSE(configured("KADRILL_E2E_FAKETIME_LIB").empty()) << "libfaketime was not found at configure time";
        startWindowManager();
        startKadrill(fakeClock("2026-12-08 10:00:00", kSpeedUp));
        main_ = mainWindow();
        ASSERT_NE(main_, Window(None));
        const auto face = waitForFace(main_);
        ASSERT_TRUE(face);
        faceOrigin_ = pollFor<FaceGrab>(kStartTimeout, [&] { return faceOnScreen(); }).value_or(*face).origin;
    }

    // Waits until the timer's window shows what `wanted` looks for; the last grab either way.
    std::optional<Image> waitForTimer(const std::function<bool(const Image&)>& wanted,
                                      std::chrono::milliseconds timeout) {
        std::optional<Image> last;
        const bool seen = pollUntil(timeout, [&] {
            last = x_.grab(timer_);
            return last && wanted(*last);
        });
        return seen ? last : std::nullopt;
    }

    std::string shot(const char* tag) {
        const auto image = x_.grab(x_.root());
        return image ? screenshotNote(*image, tag) : std::string();
    }

    // Whether the window manager marks the window as wanting the user's attention.
    bool demandsAttention(Window w) const {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(x_.dpy(), w, x_.atom("_NET_WM_STATE"), 0, 64, False, XA_ATOM, &type, &format, &count,
                               &after, &data) != Success ||
            data == nullptr)
            return false;
        const Atom wanted = x_.atom("_NET_WM_STATE_DEMANDS_ATTENTION");
        bool found = false;
        for (unsigned long i = 0; i < count; ++i)
            found = found || reinterpret_cast<Atom*>(data)[i] == wanted;
        XFree(data);
        return found;
    }

    // A click on a bare spot of the timer's client area, left of its frame: the window
    // comes to the front and takes the keyboard.
    void activateTimer() {
        const auto at = x_.rootPosition(timer_);
        ASSERT_TRUE(at);
        x_.click(at->first + 3, at->second + 100);
        std::this_thread::sleep_for(200ms);
    }

    Window main_ = None;
    Window timer_ = None;
    face::Point faceOrigin_{};
};

TEST_F(RamenTimer, CountsDownBehindAnotherWindowAsksForAttentionAndResets) {
    // Opened from the menu bar: ﾀｲﾏｰ(&T), ﾗｰﾒﾝﾀｲﾏｰ(&N).
    clickFace(faceOrigin_, face::kBareFace);
    x_.keyChord({"Alt_L", "t"});
    std::this_thread::sleep_for(200ms);
    x_.keyChord({"n"});
    const auto found = x_.waitForTopLevel(kTitle, app_->pid(), {300, 180}, kStartTimeout);
    ASSERT_TRUE(found) << "no ramen timer window appeared" << shot("no-window");
    timer_ = *found;

    // Idle: the character speaks its hint a (fake) second after opening.
    const auto idle = waitForTimer(bubbleShown, 3s);
    ASSERT_TRUE(idle) << "the hint never showed" << shot("no-hint");
    EXPECT_FALSE(cupOpened(*idle)) << screenshotNote(*idle, "idle");

    // 開始(&S): the bubble goes at once; the steam wavers, frame after frame.
    x_.keyChord({"Alt_L", "s"});
    const auto counting = waitForTimer([](const Image& i) { return !bubbleShown(i); }, 2s);
    ASSERT_TRUE(counting) << "Start did not hush the character" << shot("start");
    std::set<std::string> frames;
    pollUntil(3s, [&] {
        if (const auto image = x_.grab(timer_); image && !bubbleShown(*image))
            frames.insert(steam(*image));
        return frames.size() >= 2;
    });
    EXPECT_GE(frames.size(), 2U) << "the steam did not move" << shot("steam");

    // Behind the main window, the timer reaches zero: the cup opens, the character says
    // so, and the window asks for attention since nothing sounds.
    clickFace(faceOrigin_, face::kBareFace);
    const auto done = waitForTimer([](const Image& i) { return cupOpened(i) && bubbleShown(i); }, 40s);
    ASSERT_TRUE(done) << "the countdown never finished" << shot("not-done");
    EXPECT_TRUE(pollUntil(3s, [&] { return demandsAttention(timer_); }))
        << "the finished timer did not ask for attention" << shot("attention");
    EXPECT_FALSE(demandsAttention(main_));

    // Brought to the front, it is satisfied; リセット(&R) closes the cup again.
    activateTimer();
    EXPECT_TRUE(pollUntil(3s, [&] { return !demandsAttention(timer_); })) << shot("still-demanding");
    x_.keyChord({"Alt_L", "r"});
    const auto reset = waitForTimer([](const Image& i) { return !cupOpened(i) && bubbleShown(i); }, 3s);
    EXPECT_TRUE(reset) << "Reset did not bring back the closed cup and the hint" << shot("reset");

    // 終了(&E) closes the timer alone; the watch goes on.
    x_.keyChord({"Alt_L", "e"});
    const auto timerGone = [&] { return !x_.findTopLevel(kTitle, app_->pid(), {300, 180}); };
    EXPECT_TRUE(pollUntil(kStartTimeout, timerGone)) << "End did not close the timer" << shot("end");
    EXPECT_TRUE(app_->running());
    EXPECT_TRUE(findMainWindow());
}

} // namespace
