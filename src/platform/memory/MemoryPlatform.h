#pragma once

// An in-memory desktop for tests. It keeps the event semantics of the real one:
// a timer ticks only while enabled and only when the fake time passes its interval,
// and every change a control makes is readable back.

#include "platform/Application.h"
#include "platform/Clock.h"
#include "platform/MediaControl.h"
#include "platform/Platform.h"
#include "platform/TrayIcon.h"
#include "platform/Window.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kadrill::platform::memory {

class MemoryLine final : public LineShape {
public:
    explicit MemoryLine(const LineProperties& props) : props_(props), color_(props.color) {}
    void setVisible(bool visible) override { visible_ = visible; }
    bool isVisible() const override { return visible_; }
    void setColor(Color color) override {
        color_ = color;
        ++writes_;
    }
    Color color() const override { return color_; }

    const LineProperties& props() const { return props_; }
    /// How many times the colour was written, changed or not.
    int colorWrites() const { return writes_; }

private:
    LineProperties props_;
    Color color_;
    bool visible_ = true;
    int writes_ = 0;
};

class MemoryLabel final : public Label {
public:
    explicit MemoryLabel(const LabelProperties& props)
        : props_(props), text_(props.text), color_(props.foreColor), visible_(props.visible) {}
    void setVisible(bool visible) override { visible_ = visible; }
    bool isVisible() const override { return visible_; }
    void setText(const std::string& text) override { text_ = text; }
    std::string text() const override { return text_; }
    void setForeColor(Color color) override { color_ = color; }
    Color foreColor() const override { return color_; }

    const LabelProperties& props() const { return props_; }

private:
    LabelProperties props_;
    std::string text_;
    Color color_;
    bool visible_;
};

class MemoryWindow;

class MemoryPictureButton final : public PictureButton {
public:
    MemoryPictureButton(MemoryWindow& window, const PictureButtonProperties& props)
        : window_(window), props_(props), visible_(props.visible) {}
    void setVisible(bool visible) override;
    bool isVisible() const override { return visible_; }
    void setFocus() override;
    bool hasFocus() const override;

    const PictureButtonProperties& props() const { return props_; }
    /// Clicks the button as a user would; a hidden button cannot be clicked.
    void click();

private:
    MemoryWindow& window_;
    PictureButtonProperties props_;
    bool visible_;
};

class MemoryEventLoop;

class MemoryTimer final : public Timer {
public:
    MemoryTimer(MemoryEventLoop& loop, const TimerProperties& props);
    void setInterval(int milliseconds) override;
    int interval() const override { return props_.interval; }
    void setEnabled(bool enabled) override;
    bool isEnabled() const override { return props_.enabled; }

    TimerPacing pacing() const { return props_.pacing; }
    std::int64_t nextDue() const { return nextDue_; }
    void setNextDue(std::int64_t due) { nextDue_ = due; }

private:
    MemoryEventLoop& loop_;
    TimerProperties props_;
    std::int64_t nextDue_ = 0;
};

class MemoryMenuItem final : public MenuItem {
public:
    MemoryMenuItem(std::string caption, MenuItemKind kind, bool separator)
        : caption_(std::move(caption)), kind_(kind), separator_(separator) {}
    void setChecked(bool checked) override { checked_ = checked; }
    bool isChecked() const override { return checked_; }
    void setEnabled(bool enabled) override { enabled_ = enabled; }
    bool isEnabled() const override { return enabled_; }

    const std::string& caption() const { return caption_; }
    MenuItemKind kind() const { return kind_; }
    bool isSeparator() const { return separator_; }
    /// Chooses the item as a user would; a disabled item cannot be chosen.
    void choose();

private:
    std::string caption_;
    MenuItemKind kind_;
    bool separator_;
    bool checked_ = false;
    bool enabled_ = true;
};

class MemoryMenu final : public Menu {
public:
    explicit MemoryMenu(std::string caption) : caption_(std::move(caption)) {}
    MenuItem& addItem(const std::string& caption, MenuItemKind kind) override;
    MenuItem& addSeparator() override;

    const std::string& caption() const { return caption_; }
    const std::vector<std::unique_ptr<MemoryMenuItem>>& items() const { return items_; }

private:
    std::string caption_;
    std::vector<std::unique_ptr<MemoryMenuItem>> items_;
};

class MemoryWindow final : public Window {
public:
    MemoryWindow(MemoryEventLoop& loop, const WindowProperties& props) : loop_(loop), props_(props) {}
    ~MemoryWindow() override;

    void show() override { visible_ = true; }
    void hide() override { visible_ = false; }
    bool isVisible() const override { return visible_; }
    Point position() const override { return position_; }
    void setPosition(Point topLeft) override { position_ = topLeft; }
    WindowState windowState() const override { return state_; }
    void setWindowState(WindowState state) override { state_ = state; }

    LineShape& addLine(const LineProperties& props) override;
    Label& addLabel(const LabelProperties& props) override;
    PictureButton& addPictureButton(const PictureButtonProperties& props) override;
    Timer& addTimer(const TimerProperties& props) override;
    Menu& addMenu(const std::string& caption) override;

    const WindowProperties& props() const { return props_; }
    const std::vector<std::unique_ptr<MemoryLine>>& lines() const { return lines_; }
    const std::vector<std::unique_ptr<MemoryLabel>>& labels() const { return labels_; }
    const std::vector<std::unique_ptr<MemoryPictureButton>>& buttons() const { return buttons_; }
    const std::vector<std::unique_ptr<MemoryTimer>>& timers() const { return timers_; }
    const std::vector<std::unique_ptr<MemoryMenu>>& menus() const { return menus_; }

    /// Closes the window as the user would.
    void close() { closed.raise(); }

    const PictureButton* focused() const { return focused_; }
    void setFocused(const PictureButton* button) { focused_ = button; }

private:
    MemoryEventLoop& loop_;
    WindowProperties props_;
    bool visible_ = false;
    Point position_;
    WindowState state_ = WindowState::Normal;
    const PictureButton* focused_ = nullptr;
    std::vector<std::unique_ptr<MemoryLine>> lines_;
    std::vector<std::unique_ptr<MemoryLabel>> labels_;
    std::vector<std::unique_ptr<MemoryPictureButton>> buttons_;
    std::vector<std::unique_ptr<MemoryTimer>> timers_;
    std::vector<std::unique_ptr<MemoryMenu>> menus_;
};

/// Fake wall clock and millisecond counter, both moved only by the event loop or the test.
class FakeClock final : public Clock {
public:
    std::string timeText() const override;
    std::int32_t tickCount() const override { return static_cast<std::int32_t>(static_cast<std::uint32_t>(tick_)); }

    /// Sets the wall clock without moving the millisecond counter, like a change of the system time.
    void setTimeOfDay(int hour, int minute, int second, int millisecond = 0);
    void setTickCount(std::int64_t tick) { tick_ = tick; }
    /// Both clocks move on together.
    void advance(std::int64_t milliseconds) {
        wallMs_ += milliseconds;
        tick_ += milliseconds;
    }
    std::int64_t wallMs() const { return wallMs_; }

private:
    std::int64_t wallMs_ = 0; // since midnight of day 0
    std::int64_t tick_ = 0;
};

/// Runs timers against the fake time.
class MemoryEventLoop {
public:
    explicit MemoryEventLoop(FakeClock& clock) : clock_(clock) {}

    /// Lets the given milliseconds pass, ticking every enabled timer whose interval ends
    /// meanwhile, in time order (timers created first go first at equal times).
    void advance(std::int64_t milliseconds);
    /// Milliseconds since the loop was made.
    std::int64_t now() const { return now_; }

    void add(MemoryTimer* timer) { timers_.push_back(timer); }
    void remove(MemoryTimer* timer);

private:
    FakeClock& clock_;
    std::int64_t now_ = 0;
    std::vector<MemoryTimer*> timers_;
};

class MemoryWindowSystem final : public WindowSystem {
public:
    explicit MemoryWindowSystem(MemoryEventLoop& loop) : loop_(loop) {}
    std::unique_ptr<Window> createWindow(const WindowProperties& props) override;

private:
    MemoryEventLoop& loop_;
};

class MemoryTrayIcon final : public TrayIcon {
public:
    bool add(const NotifyIconRecord& record) override;
    bool remove(const NotifyIconRecord& record) override;

    /// Whether the desktop offers a notification area (default yes).
    void setAvailable(bool available) { available_ = available; }
    bool isShown() const { return shown_; }
    const NotifyIconRecord& record() const { return record_; }

private:
    bool available_ = true;
    bool shown_ = false;
    NotifyIconRecord record_;
};

class MemoryMediaControl final : public MediaControl {
public:
    void setFileName(const std::string& path) override { fileName_ = path; }
    std::string fileName() const override { return fileName_; }
    void sendCommand(std::string_view command) override;
    void setNotify(bool notify) override { notify_ = notify; }
    bool notify() const override { return notify_; }
    std::int16_t error() const override { return error_; }

    /// Every command sent, in order.
    const std::vector<std::string>& commands() const { return commands_; }
    bool isPlaying() const { return playing_; }
    /// Makes the next "Open" or "play" fail with the code.
    void failNextWith(std::int16_t code) { nextError_ = code; }
    /// Ends the current playback as the sound's end would.
    void finishPlayback();

private:
    std::string fileName_;
    bool notify_ = false;
    bool open_ = false;
    bool playing_ = false;
    std::int16_t error_ = 0;
    std::int16_t nextError_ = 0;
    std::vector<std::string> commands_;
};

class MemoryApplication final : public Application {
public:
    void quit() override { ++quits_; }
    int quitCount() const { return quits_; }

private:
    int quits_ = 0;
};

/// All in-memory services together, with one fake clock driving them.
class MemoryPlatform {
public:
    MemoryPlatform() : loop(clock), windows(loop) {}

    FakeClock clock;
    MemoryEventLoop loop;
    MemoryWindowSystem windows;
    MemoryTrayIcon tray;
    MemoryMediaControl media;
    MemoryApplication app;
    Platform platform{windows, clock, tray, media, app};
};

} // namespace kadrill::platform::memory
