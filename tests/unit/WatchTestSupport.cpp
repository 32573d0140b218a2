#include "WatchTestSupport.h"

#include <array>
#include <utility>

namespace kadrill::test {

MainFixture::MainFixture() {
    main.timeShown.setHandler([this](const platform::TimeOfDay& t) {
        ++alarmChecks;
        lastAlarmCheck = platform::formatTimeText(t);
    });
    main.Start();
    window().activate();
}

void MainFixture::showAt(int h, int m, int s) {
    desk.clock.setTimeOfDay(h, m, s);
    desk.loop.advance(1);
}

std::string ReadDigits(const watch::WatchFace& face, platform::Color lit) {
    static constexpr std::array<const char*, 11> kPatterns = {
        "1110111", "0010010", "1011101", "1011011", "0111010", "1101011",
        "1101111", "1010010", "1111111", "1111011", "0000000",
    };
    std::string shown;
    for (const auto& digit : face.digits) {
        std::string pattern;
        for (platform::LineShape* line : digit) {
            pattern += line->isVisible() && line->color() == lit ? '1' : '0';
        }
        char c = '?';
        for (std::size_t k = 0; k < kPatterns.size(); ++k) {
            if (pattern == kPatterns[k]) {
                c = k == 10 ? ' ' : static_cast<char>('0' + k);
            }
        }
        shown += c;
    }
    return shown;
}

std::string VisibleButtons(const watch::WatchFace& face) {
    const std::array<std::pair<platform::PictureButton*, const char*>, 9> buttons = {{
        {face.ModeBtn, "Mode"},
        {face.SetBtn, "Set"},
        {face.AlmBtn, "Alm"},
        {face.HyoujiKirikae, "Disp"},
        {face.StartBtn, "Start"},
        {face.StopBtn, "Stop"},
        {face.AlarmOnBtn, "AlOn"},
        {face.ResetBtn, "Reset"},
        {face.LapBtn, "Lap"},
    }};
    std::string names;
    for (const auto& [button, name] : buttons) {
        if (button->isVisible()) {
            names += names.empty() ? "" : " ";
            names += name;
        }
    }
    return names;
}

bool Click(platform::PictureButton* button) {
    return dynamic_cast<platform::memory::MemoryPictureButton&>(*button).click();
}

bool Choose(platform::MenuItem* item) { return dynamic_cast<platform::memory::MemoryMenuItem&>(*item).choose(); }

MemoryLabel& asLabel(platform::Label* label) { return dynamic_cast<MemoryLabel&>(*label); }
MemoryLine& asLine(platform::LineShape* line) { return dynamic_cast<MemoryLine&>(*line); }

} // namespace kadrill::test
