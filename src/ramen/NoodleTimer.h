#pragma once

#include "platform/Platform.h"
#include "platform/TimeOfDay.h"
#include "platform/Window.h"
#include "state/NoodleFields.h"

#include <array>
#include <memory>
#include <string>

namespace kadrill::ramen {

/// The ramen timer: a small window that times three minutes for instant noodles, told
/// only through its pictures and a speech bubble. While idle the character alternates two
/// hints; "開始(&S)" starts the countdown with a steam animation and a few remarks; at
/// zero the cup opens and the character says so until "リセット(&R)" or "終了(&E)".
/// One instance, modeless; opening it again only brings it forward.
class NoodleTimer {
public:
    NoodleTimer(platform::Platform& platform, state::NoodleFields& fields);
    NoodleTimer(const NoodleTimer&) = delete;
    NoodleTimer& operator=(const NoodleTimer&) = delete;
    ~NoodleTimer();

    /// Opens the window, or brings the open one forward.
    void Show();
    bool isOpen() const { return window_ != nullptr; }

    // The open window's parts; null while it is closed.
    platform::Window* window() { return window_.get(); }
    platform::Frame* Frame1 = nullptr;
    /// Picture0: the closed cup; 1, 2: the steam frames over it; 3, 4: the opened cup's
    /// frames; 5: the speech bubble; 6: the character; 7: the character speaking.
    std::array<platform::Picture*, 8> Picture{};
    /// The bubble's text, inside Picture[5].
    platform::Label* Label1 = nullptr;
    platform::CommandButton* StartButton = nullptr;
    platform::CommandButton* ResetButton = nullptr;
    platform::CommandButton* EndButton = nullptr;
    platform::Timer* Timer1 = nullptr;

private:
    void Load();
    void StartButtonClick();
    void ResetButtonClick();
    void Timer1Tick();
    void countdownTick();
    void idleTick();
    void Say(int left, int top, const char* text);
    void Hush();
    /// The time left and the remark, for a screen reader.
    void describe();
    /// Disables `from` and enables `to`, which takes the focus if `from` had it.
    static void passTurn(platform::CommandButton* from, platform::CommandButton* to);
    void close();

    platform::Platform& platform_;
    state::NoodleFields& fields_;
    std::unique_ptr<platform::Window> window_;
    /// The second the last tick stepped in: ticks come at the clock's own second edges and
    /// after other handlers, and only a new second moves the timer on.
    platform::TimeOfDay steppedAt_;
};

} // namespace kadrill::ramen
