// Takes the picture of the watch that software centres show: the real program on a
// private X server at a fixed time of day, its main window grabbed as the screen shows it
// and enlarged pixel for pixel, like the rest of its art.
//
//     kadrill_screenshot KADRILL OUTPUT.png [LIBFAKETIME]
//
// Without libfaketime the picture shows the time at which it is taken.

// Qt before Xlib, whose macros (Status, None) break Qt's headers.
#include <QImage>

#include "watch_face.h"
#include "x_harness.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace {

using namespace e2e;

constexpr auto kTimeout = 20s;
// A time whose digits show most of the segments.
constexpr const char* kShownTime = "2026-12-08 10:08:30";
constexpr int kScale = 2;

int take(const std::string& program, const std::string& output, const std::string& fakeTime) {
    XServer x;
    TempDir home;
    const auto& h = home.path();
    EnvChanges env = privateDesktop(x, h);
    env.insert(env.end(), {
                              // Buses that lead nowhere: the picture needs neither, and the clock is not to be set.
                              {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (h / "no-session-bus").string()},
                              {"DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + (h / "no-system-bus").string()},
                              {"TZ", "UTC"},
                          });
    if (!fakeTime.empty()) {
        env.insert(env.end(), {{"LD_PRELOAD", fakeTime},
                               {"FAKETIME", std::string("@") + kShownTime},
                               {"FAKETIME_DONT_FAKE_MONOTONIC", "1"}});
    }
    Process kadrill({program}, Process::Options{.env = env, .quiet = true});

    // The main window holds the whole face below its menu bar.
    const auto window = x.waitForTopLevel("Kadrill", kadrill.pid(), {face::kWidth, face::kHeight + 1}, kTimeout);
    if (!window) {
        std::fprintf(stderr, "kadrill_screenshot: no Kadrill window appeared\n");
        return 1;
    }
    // Wait for a whole reading: every digit drawn, so the picture never catches a first,
    // unlit frame.
    const auto shot = pollFor<Image>(kTimeout, [&]() -> std::optional<Image> {
        auto image = x.grab(*window);
        if (!image)
            return std::nullopt;
        const auto at = face::locate(*image);
        if (!at)
            return std::nullopt;
        const std::string digits = face::readDigits(*image, *at);
        if (digits.find_first_of("? ") != std::string::npos)
            return std::nullopt;
        if (!fakeTime.empty() && digits.compare(0, 4, "1008") != 0)
            return std::nullopt;
        return image;
    });
    if (!shot) {
        std::fprintf(stderr, "kadrill_screenshot: the face never showed a whole time\n");
        return 1;
    }

    QImage picture(shot->width() * kScale, shot->height() * kScale, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x0 = 0; x0 < picture.width(); ++x0) {
            const Rgb c = shot->at(x0 / kScale, y / kScale);
            picture.setPixel(x0, y, qRgb(c.r, c.g, c.b));
        }
    }
    if (!picture.save(QString::fromStdString(output), "PNG")) {
        std::fprintf(stderr, "kadrill_screenshot: cannot write %s\n", output.c_str());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: kadrill_screenshot KADRILL OUTPUT.png [LIBFAKETIME]\n");
        return 2;
    }
    try {
        return take(argv[1], argv[2], argc == 4 ? argv[3] : "");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kadrill_screenshot: %s\n", e.what());
        return 1;
    }
}
