// Runs the real kadrill binary on a private Xvfb and checks what a person
// would see: the digits on the face, and the icon in the notification area.

#include "kadrill_fixture.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace {

using namespace e2e;

// ---------------------------------------------------------------- the face

struct ClockCase {
    const char* name;
    const char* fakeStart; // local time the fake clock starts from
    const char* hoursMinutes;
    int startSecond;
};

void PrintTo(const ClockCase& c, std::ostream* os) { *os << "clock from " << c.fakeStart; }

class FaceFollowsClock : public KadrillTest, public ::testing::WithParamInterface<ClockCase> {};

TEST_P(FaceFollowsClock, ShowsTimeInPureColoursAndTicks) {
    const ClockCase& c = GetParam();
    ASSERT_FALSE(configured("KADRILL_E2E_FAKETIME_LIB").empty()) << "libfaketime was not found at configure time";

    const auto launched = WallClock::now();
    startKadrill(fakeClock(c.fakeStart));
    const Window w = mainWindow();
    ASSERT_NE(w, Window(None));
    auto first = waitForFace(w);
    ASSERT_TRUE(first);
    const double sinceLaunch = secondsSince(launched);
    const auto shot1 = [&] { return screenshotNote(first->image, "first"); };

    EXPECT_EQ(first->digits.substr(0, 4), c.hoursMinutes) << "face reads \"" << first->digits << "\"" << shot1();
    const auto seconds = face::fieldValue(std::string_view(first->digits).substr(4, 2));
    ASSERT_TRUE(seconds) << shot1();
    // The fake clock started with the process, so the face cannot be behind it
    // nor ahead of the time we have been waiting.
    EXPECT_GE(*seconds, c.startSecond) << shot1();
    EXPECT_LE(*seconds, c.startSecond + int(std::ceil(sinceLaunch)) + 1) << shot1();

    const auto faults = face::colourFaults(first->image, first->origin);
    EXPECT_TRUE(faults.empty()) << ::testing::PrintToString(faults) << shot1();

    const auto firstAt = WallClock::now();
    std::this_thread::sleep_for(1200ms);
    const auto later = grabFace(w);
    const double between = secondsSince(firstAt);
    ASSERT_TRUE(later) << "face lost after a second";
    const auto shot2 = [&] { return screenshotNote(later->image, "later"); };
    EXPECT_EQ(later->digits.substr(0, 4), c.hoursMinutes) << "face reads \"" << later->digits << "\"" << shot2();
    const auto laterSeconds = face::fieldValue(std::string_view(later->digits).substr(4, 2));
    ASSERT_TRUE(laterSeconds) << shot2();
    EXPECT_GE(*laterSeconds - *seconds, 1)
        << "seconds did not advance: \"" << first->digits << "\" then \"" << later->digits << "\"" << shot2();
    EXPECT_LE(*laterSeconds - *seconds, int(std::ceil(between)) + 1) << shot2();

    closeAndExpectCleanExit(w);
}

// Between them the cases light every digit 0..9 in the hour and minute places.
// Start seconds leave room so no minute rolls over while we watch.
INSTANTIATE_TEST_SUITE_P(Times, FaceFollowsClock,
                         ::testing::Values(ClockCase{"MorningHourTensDark", "2026-12-08 09:05:00", " 905", 0},
                                           ClockCase{"Evening", "2026-12-08 21:47:30", "2147", 30},
                                           ClockCase{"JustAfterMidnight", "2026-12-08 00:36:10", " 036", 10},
                                           ClockCase{"LateAfternoon", "2026-12-08 18:28:20", "1828", 20}),
                         [](const ::testing::TestParamInfo<ClockCase>& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------- tray

// The icon is an XEmbed client window that the tray host has reparented into
// its own window tree; the pid stamped on it says whose it is.
struct DockedIcon {
    Window hostTop; // the tray host's top-level window holding the icon
    Window icon;
};

std::optional<DockedIcon> trayIconOf(const XServer& x, pid_t trayHost, pid_t owner) {
    for (Window top : x.children(x.root())) {
        if (x.pid(top) != static_cast<unsigned long>(trayHost))
            continue;
        for (Window w : x.descendants(top))
            if (x.pid(w) == static_cast<unsigned long>(owner) && x.hasProperty(w, "_XEMBED_INFO"))
                return DockedIcon{top, w};
    }
    return std::nullopt;
}

class WithTrayHost : public KadrillTest {};

TEST_F(WithTrayHost, IconDocksAndLeavesOnClose) {
    trayHost_.emplace(std::vector<std::string>{"trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                                               "--height", "24", "--transparent", "false", "--expand", "true"},
                      Process::Options{.env = {{"DISPLAY", x_.displayName()}}, .quiet = true});
    const Atom traySelection = x_.atom("_NET_SYSTEM_TRAY_S0");
    ASSERT_TRUE(pollUntil(kStartTimeout, [&] { return XGetSelectionOwner(x_.dpy(), traySelection) != None; }))
        << "trayer never took the system tray selection";

    startKadrill();
    const Window w = mainWindow();
    ASSERT_NE(w, Window(None));
    const pid_t host = trayHost_->pid();
    const pid_t app = app_->pid();
    const auto docked = pollFor<DockedIcon>(kStartTimeout, [&] { return trayIconOf(x_, host, app); });
    ASSERT_TRUE(docked) << "no window of kadrill got embedded into the tray host";
    const Window icon = docked->icon;

    // Docked and drawn: viewable, has a size, and is not just the host's background.
    EXPECT_TRUE(pollUntil(kStartTimeout, [&] { return x_.isViewable(icon); })) << "tray icon never became viewable";
    const auto size = x_.size(icon);
    ASSERT_TRUE(size);
    EXPECT_GT(size->first, 0);
    EXPECT_GT(size->second, 0);
    const bool drawn = pollUntil(kStartTimeout, [&] {
        const auto iconImage = x_.grab(icon);
        const auto panelImage = x_.grab(docked->hostTop);
        if (!iconImage || !panelImage)
            return false;
        const Rgb background = panelImage->at(0, 0);
        for (int y = 0; y < iconImage->height(); ++y)
            for (int x = 0; x < iconImage->width(); ++x)
                if (iconImage->at(x, y) != background)
                    return true;
        return false;
    });
    EXPECT_TRUE(drawn) << "tray icon shows nothing but the tray's background";

    closeAndExpectCleanExit(w);
    EXPECT_TRUE(pollUntil(kExitTimeout, [&] { return !trayIconOf(x_, host, app); }))
        << "tray host still holds kadrill's icon after kadrill quit";
    EXPECT_TRUE(trayHost_->running()) << "tray host died with kadrill";
}

// ---------------------------------------------------------------- no tray host

int secondsOfDay(std::time_t t) { return int(((t % 86400) + 86400) % 86400); }

class WithoutTrayHost : public KadrillTest {};

TEST_F(WithoutTrayHost, ShowsLocalTimeAndClosesCleanly) {
    // A zone far from UTC, so a face showing UTC instead of local time fails.
    constexpr int kZoneOffset = 9 * 3600;
    startKadrill({{"TZ", "JST-9"}});
    const Window w = mainWindow();
    ASSERT_NE(w, Window(None));
    auto shown = waitForFace(w);
    ASSERT_TRUE(shown);
    // Only now: the digits may have needed a few polls to appear.
    const std::time_t before = std::time(nullptr);
    shown = grabFace(w);
    const std::time_t after = std::time(nullptr);
    ASSERT_TRUE(shown);
    const auto shot = [&] { return screenshotNote(shown->image, "local-time"); };

    const auto h = face::fieldValue(std::string_view(shown->digits).substr(0, 2));
    const auto m = face::fieldValue(std::string_view(shown->digits).substr(2, 2));
    const auto s = face::fieldValue(std::string_view(shown->digits).substr(4, 2));
    ASSERT_TRUE(h && m && s) << "face reads \"" << shown->digits << "\"" << shot();
    int behind = secondsOfDay(before + kZoneOffset) - (*h * 3600 + *m * 60 + *s);
    behind = ((behind + 43200) % 86400 + 86400) % 86400 - 43200; // nearest way round midnight
    EXPECT_GE(behind, -int(after - before) - 1) << "face reads \"" << shown->digits << "\"" << shot();
    EXPECT_LE(behind, 1) << "face reads \"" << shown->digits << "\"" << shot();

    closeAndExpectCleanExit(w);
}

} // namespace
