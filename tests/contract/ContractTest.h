#pragma once

#include "MemoryBackend.h"
#ifdef _WIN32
#include "Win32Backend.h"
#else
#include "QtBackend.h"
#endif

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kadrill::contract {

#ifdef _WIN32
using Backends = ::testing::Types<MemoryBackend, Win32Backend>;
#else
using Backends = ::testing::Types<MemoryBackend, QtBackend>;
#endif

struct BackendNames {
    template <class B> static std::string GetName(int) { return B::kName; }
};

/// A window with a title bar and no menu bar, 200 x 100 pixels of client area.
inline platform::WindowProperties plainWindow() {
    return {.caption = "Kadrill", .clientWidth = 3000, .clientHeight = 1500, .picture = "", .icon = "kadrill"};
}

/// The kind of window the program's main window is: with a menu bar and a picture.
inline platform::WindowProperties mainWindow() {
    return {.caption = "Kadrill",
            .clientWidth = 6000,
            .clientHeight = 1890,
            .menuBar = true,
            .picture = "face",
            .icon = "kadrill"};
}

inline platform::PictureButtonProperties buttonAt(int left, int top) {
    return {
        .bounds = {left, top, 615, 300}, .picture = "btn-mode", .toolTip = "モード", .tabIndex = 0, .visible = true};
}

inline platform::LabelProperties labelAt(platform::Rect bounds, std::string text, bool visible = true) {
    return {.bounds = bounds,
            .text = std::move(text),
            .fontName = "ＭＳ Ｐゴシック",
            .fontPoints = 12,
            .foreColor = 49152,
            .visible = visible};
}

inline platform::PictureProperties pictureAt(platform::Rect bounds) {
    return {.bounds = bounds, .picture = "", .backColor = 0, .border = false, .visible = true};
}

inline platform::FrameProperties frameAt(platform::Rect bounds, bool visible = true) {
    return {.bounds = bounds, .caption = "枠", .visible = visible};
}

/// A fresh backend for every test. Windows the test makes must go before it does.
template <class B> class ContractTest : public ::testing::Test {
protected:
    std::unique_ptr<platform::Window> shownWindow(const platform::WindowProperties& props = plainWindow()) {
        auto w = backend.windows().createWindow(props);
        w->setPosition({1500, 1500});
        backend.show(*w);
        return w;
    }

    B backend;
};

platform::Point operator+(platform::Point a, platform::Point b);
/// The screen position of a window's client-area corner, twips.
platform::Point clientOrigin(const platform::Window& w);

/// Mouse events as lines of text ("win down L held 1 at 300,450"), so a whole sequence
/// compares at once. An event whose screen position does not match where the target lies
/// on the screen adds a line saying by how much.
class MouseLog {
public:
    /// The screen position of the target's top-left corner, twips.
    using Origin = std::function<platform::Point()>;

    template <class Target> void watch(Target& target, const std::string& name, Origin origin) {
        watchDown(target, name, origin);
        target.mouseMove.setHandler(
            [this, name, origin](const platform::MouseEvent& e) { add(name + " move", e, origin); });
        target.mouseUp.setHandler(
            [this, name, origin](const platform::MouseEvent& e) { add(name + " up", e, origin); });
    }
    template <class Target> void watchDown(Target& target, const std::string& name, Origin origin) {
        target.mouseDown.setHandler(
            [this, name, origin](const platform::MouseEvent& e) { add(name + " down", e, origin); });
    }

    std::vector<std::string> lines;

private:
    void add(const std::string& what, const platform::MouseEvent& e, const Origin& origin);
};

} // namespace kadrill::contract
