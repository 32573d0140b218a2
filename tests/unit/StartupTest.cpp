#include "WatchTestSupport.h"
#include "alarm/AlmFile.h"
#include "mainwin/AutostartEntry.h"
#include "platform/Controls.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

namespace kadrill::test {
namespace {

using platform::memory::MemoryPictureButton;

TEST(Startup, LoadsStateAndShowsTheWindowWithEverySegmentBlackUntilTheFirstTick) {
    platform::memory::MemoryPlatform desk;
    state::WatchState state;
    state.alarm.AlarmEnabled = true; // whatever a previous run left, start-up disarms
    state.alarm.AlarmTime = 3600;
    mainwin::CMain main(desk.platform, state);
    main.Start();
    auto& window = dynamic_cast<MemoryWindow&>(main.window());

    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(state.alarm.AlarmEnabled);
    EXPECT_EQ(state.alarm.AlarmTime, 0);
    EXPECT_FALSE(state.mainwin.HiddenInTray);
    EXPECT_EQ(state.watch.SegmentColors[0], watch::kUnlitBlack);
    EXPECT_EQ(state.watch.SegmentColors[1], watch::kLitGreen);
    EXPECT_TRUE(state.watch.LastTimeText.empty());
    EXPECT_EQ(state.watch.StopwatchAccumulated, 0);

    for (const auto& line : window.controls().lines) {
        EXPECT_EQ(line->color(), 0U);
        EXPECT_TRUE(line->isVisible());
    }
    EXPECT_EQ(main.face().AlarmOn->foreColor(), 0U);

    EXPECT_TRUE(main.MainTimer->isEnabled());
    EXPECT_FALSE(main.CountTimer->isEnabled());
    EXPECT_FALSE(main.OneSec->isEnabled());
    EXPECT_EQ(main.OneSec->interval(), 500);

    desk.clock.setTimeOfDay(6, 7, 8);
    desk.loop.advance(1);
    EXPECT_EQ(ReadDigits(main.face(), watch::kLitGreen), " 60708") << "the first tick draws the time";
}

TEST(Startup, MainWindowAndFaceLayout) {
    MainFixture f;
    const platform::WindowProperties& props = f.window().props();
    EXPECT_EQ(props.caption, "Kadrill");
    EXPECT_EQ(props.clientWidth, 6000);
    EXPECT_EQ(props.clientHeight, 1890);
    EXPECT_EQ(props.border, platform::BorderStyle::FixedSingle);
    EXPECT_FALSE(props.maximizeButton);
    EXPECT_TRUE(props.minimizeButton);

    ASSERT_EQ(f.window().controls().lines.size(), 42U);
    // Segment 0 of the second-units digit, and segment 5 of the hour tens.
    EXPECT_EQ(asLine(f.main.face().digits[5][0]).props().from, (platform::Point{5040, 240}));
    EXPECT_EQ(asLine(f.main.face().digits[5][0]).props().to, (platform::Point{5280, 240}));
    EXPECT_EQ(asLine(f.main.face().digits[0][5]).props().from, (platform::Point{1320, 720}));
    EXPECT_EQ(asLine(f.main.face().digits[0][5]).props().to, (platform::Point{1320, 1080}));
    EXPECT_EQ(asLine(f.main.face().digits[2][3]).props().thicknessPixels, 6);

    EXPECT_EQ(asLabel(f.main.face().AM).props().bounds, (platform::Rect{480, 120, 615, 375}));
    EXPECT_EQ(asLabel(f.main.face().PM).props().bounds, (platform::Rect{480, 720, 615, 375}));
    EXPECT_EQ(asLabel(f.main.face().AlarmOn).text(), "♪");
    EXPECT_FALSE(f.main.face().AM->isVisible());
    EXPECT_TRUE(f.main.face().AlarmOn->isVisible());

    // Buttons in tab order: left edge and whether shown at start.
    const std::vector<std::pair<int, bool>> expected = {{1463, true}, {2078, true},  {2693, true},
                                                        {3315, true}, {3315, false}, {3315, false},
                                                        {3930, true}, {3930, false}, {3930, false}};
    const auto& buttons = f.window().controls().buttons;
    ASSERT_EQ(buttons.size(), expected.size());
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        const platform::PictureButtonProperties& b = buttons[i]->props();
        EXPECT_EQ(b.tabIndex, static_cast<int>(i));
        EXPECT_EQ(b.bounds, (platform::Rect{expected[i].first, 1485, 615, 300}));
        EXPECT_EQ(buttons[i]->isVisible(), expected[i].second) << "button " << i;
        EXPECT_FALSE(b.toolTip.empty());
        EXPECT_FALSE(b.picture.empty());
    }
}

TEST(Startup, MenuBarHoldsTheOptionsUncheckedAndEnabled) {
    MainFixture f;
    std::map<std::string, std::vector<std::string>> menus;
    for (const auto& menu : f.window().menus()) {
        for (const auto& item : menu->items()) {
            menus[menu->caption()].push_back(item->caption());
            EXPECT_FALSE(item->isChecked());
            EXPECT_TRUE(item->isEnabled());
        }
    }
    EXPECT_EQ(menus["表示(&V)"],
              (std::vector<std::string>{"12時間表示(&W)", "全ての文字を表示(&A)", "-", "ﾒﾆｭｰﾊﾞｰを隠す(&H)"}));
    EXPECT_EQ(menus["設定(&S)"], (std::vector<std::string>{"時刻の設定(&T)", "ｱﾗｰﾑの設定(&A)", "ﾛｸﾞｲﾝ時に起動(&L)"}));
    EXPECT_EQ(menus.size(), 4U);
}

TEST(Startup, TrayIconCarriesTheProgramsNameAsItsTip) {
    MainFixture f;
    ASSERT_TRUE(f.desk.tray.isShown());
    EXPECT_EQ(f.desk.tray.record().tip, "Kadrill");
    EXPECT_EQ(f.desk.tray.record().id, 1);
    EXPECT_EQ(f.desk.tray.record().icon, f.window().props().icon);
}

TEST(Startup, RunsWithoutANotificationArea) {
    platform::memory::MemoryPlatform desk;
    desk.tray.setAvailable(false);
    state::WatchState state;
    mainwin::CMain main(desk.platform, state);
    main.Start();
    desk.clock.setTimeOfDay(12, 0, 0);
    desk.loop.advance(1);
    EXPECT_EQ(ReadDigits(main.face(), watch::kLitGreen), "120000");
    dynamic_cast<MemoryWindow&>(main.window()).close();
    EXPECT_EQ(desk.app.quitCount(), 1);
}

// An .alm file in the in-memory desktop, with a name that needs quoting in an Exec key.
struct AlarmFileOnDisk {
    explicit AlarmFileOnDisk(MainFixture& f) : files(f.desk.files) {}
    platform::memory::MemoryFileSystem& files;
    std::string path = "/home/user/朝 100%.alm";
};

TEST(Startup, AFileOpenedFromOutsideArmsTheWatchAndLightsTheMarkUnlessAnActionBlinksIt) {
    MainFixture f;
    AlarmFileOnDisk file(f);
    alarm::AlarmSettings armed;
    armed.time = 7 * 3600;
    armed.enabled = true;
    armed.soundFile = "/home/user/bell.wav";
    ASSERT_EQ(alarm::saveAlmFile(file.files, file.path, armed), alarm::SaveOutcome::Saved);

    using Source = alarm::AlarmFileCommands::Source;
    f.main.openAlarmFile(file.path, Source::StartUp);
    EXPECT_TRUE(f.state.alarm.AlarmEnabled);
    EXPECT_EQ(f.main.face().AlarmOn->foreColor(), watch::kLitGreen) << "no OK follows to light it";
    EXPECT_EQ(f.main.digital()->face().AlarmOn->foreColor(), watch::kLitGreen);
    EXPECT_TRUE(f.desk.messages.shown().empty()) << "no confirmation at start";

    armed.enabled = false;
    ASSERT_EQ(alarm::saveAlmFile(file.files, file.path, armed), alarm::SaveOutcome::Saved);
    f.state.alarm.AlarmInProgress = true;
    f.main.openAlarmFile(file.path, Source::Handed);
    EXPECT_FALSE(f.state.alarm.AlarmEnabled);
    EXPECT_EQ(f.main.face().AlarmOn->foreColor(), watch::kLitGreen) << "the running action's blink owns the mark";
}

TEST(Startup, TheLoginItemWritesAnEntryForTheLastFileAndTakesItAwayAgain) {
    MainFixture f;
    platform::MenuItem* item = f.main.mnuSetAutostart;
    constexpr const char* kSaveFirst =
        "ﾛｸﾞｲﾝ時に読込むｱﾗｰﾑ設定ﾌｧｲﾙがありません。先に「設定の保存」でｱﾗｰﾑの設定を保存してください。";
    constexpr const char* kFailed = "ﾛｸﾞｲﾝ時の起動を設定できませんでした。";

    // No file yet: the user is asked to save one first.
    ASSERT_TRUE(Choose(item));
    EXPECT_FALSE(item->isChecked());
    EXPECT_FALSE(f.desk.autostart.entry());
    ASSERT_EQ(f.desk.messages.shown().size(), 1U);
    EXPECT_EQ(f.desk.messages.shown().back().text, kSaveFirst);

    AlarmFileOnDisk file(f);
    ASSERT_EQ(alarm::saveAlmFile(file.files, file.path, {}), alarm::SaveOutcome::Saved);
    f.main.openAlarmFile(file.path, alarm::AlarmFileCommands::Source::StartUp);
    f.desk.autostart.failWrites = true;
    ASSERT_TRUE(Choose(item));
    EXPECT_FALSE(item->isChecked());
    EXPECT_EQ(f.desk.messages.shown().back().text, kFailed);

    f.desk.autostart.failWrites = false;
    ASSERT_TRUE(Choose(item));
    EXPECT_TRUE(item->isChecked());
    ASSERT_TRUE(f.desk.autostart.entry());
    EXPECT_EQ(*f.desk.autostart.entry(), mainwin::autostartEntryText("kadrill", file.path));
    EXPECT_EQ(f.desk.messages.shown().size(), 2U);

    ASSERT_TRUE(Choose(item));
    EXPECT_FALSE(item->isChecked());
    EXPECT_FALSE(f.desk.autostart.entry());

    // A later start finds the entry and shows it checked.
    ASSERT_TRUE(f.desk.autostart.write("[Desktop Entry]\n"));
    mainwin::CMain again(f.desk.platform, f.state);
    again.Start();
    EXPECT_TRUE(again.mnuSetAutostart->isChecked());
}

TEST(Startup, AnArgumentReachesTheProgramFromAnExecKeyUnchanged) {
    const struct {
        const char* argument;
        const char* exec;
    } rows[] = {
        {"/home/user/alarm.alm", "/home/user/alarm.alm"},
        {"/home/user/朝の アラーム.alm", R"("/home/user/朝の アラーム.alm")"},
        {"/tmp/100%.alm", R"("/tmp/100%%.alm")"},
        {R"(/tmp/say "hi".alm)", R"("/tmp/say \\"hi\\".alm")"},
        {R"(/tmp/back\slash.alm)", R"("/tmp/back\\\\slash.alm")"},
        {"/tmp/$HOME `id`.alm", R"("/tmp/\\$HOME \\`id\\`.alm")"},
        {"/tmp/it's;~.alm", R"("/tmp/it's;~.alm")"},
        {"/tmp/two\nlines.alm", R"("/tmp/two\nlines.alm")"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(mainwin::desktopExecArgument(row.argument), row.exec) << row.argument;
    }
}

TEST(Shutdown, ClosesTheSoundDeviceRemovesTheIconAndEndsTheProgram) {
    MainFixture f;
    (void)f.desk.media.open("alarm.wav");
    (void)f.desk.media.play();
    ASSERT_TRUE(f.desk.media.isPlaying());

    f.window().close();
    EXPECT_FALSE(f.desk.media.isOpen());
    EXPECT_FALSE(f.desk.tray.isShown());
    EXPECT_EQ(f.desk.app.quitCount(), 1);
}

} // namespace
} // namespace kadrill::test
