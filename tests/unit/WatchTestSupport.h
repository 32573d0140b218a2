#pragma once

#include "mainwin/CMain.h"
#include "memory/MemoryPlatform.h"
#include "state/WatchState.h"
#include "watch/SevenSegment.h"

#include <string>

namespace kadrill::test {

using platform::memory::MemoryLabel;
using platform::memory::MemoryLine;
using platform::memory::MemoryWindow;

/// The program's main window on the in-memory desktop, loaded and shown as at start-up.
struct MainFixture {
    platform::memory::MemoryPlatform desk;
    state::WatchState state;
    mainwin::CMain main{desk.platform, state};
    int alarmChecks = 0;
    std::string lastAlarmCheck;

    MainFixture();
    MemoryWindow& window() { return dynamic_cast<MemoryWindow&>(main.window()); }
    MemoryWindow& digitalWindow() { return dynamic_cast<MemoryWindow&>(main.digital()->window()); }
    watch::WatchFace& digitalFace() { return main.digital()->face(); }
    /// Sets the wall clock, then lets one tick of the 1 ms timer run.
    void showAt(int h, int m, int s);
};

/// What a face shows, read back from its segment colours: one character per digit,
/// "0".."9", " " for blank, "?" for a pattern that is no digit.
std::string ReadDigits(const watch::WatchFace& face, platform::Color lit);

/// The visible buttons of a face in tab order, by short names ("Mode Set Alm Disp AlOn").
std::string VisibleButtons(const watch::WatchFace& face);

/// Clicks a button or chooses a menu item as a user would; false when it did not reach it.
bool Click(platform::PictureButton* button);
bool Choose(platform::MenuItem* item);

MemoryLabel& asLabel(platform::Label* label);
MemoryLine& asLine(platform::LineShape* line);

} // namespace kadrill::test
