#include "WatchButtons.h"

#include "SevenSegment.h"
#include "Stopwatch.h"
#include "platform/Clock.h"
#include "platform/Controls.h"
#include "platform/MediaControl.h"

namespace kadrill::watch {

namespace {

void showButton(const WatchControls& controls, platform::PictureButton* WatchFace::*button, bool visible) {
    controls.forEachFace([&](WatchFace& face) { (face.*button)->setVisible(visible); });
}

// The left shared place shows Start or Stop, the right one Reset or Lap.
void showStopwatchButtons(const WatchControls& controls, bool running) {
    showButton(controls, &WatchFace::StartBtn, !running);
    showButton(controls, &WatchFace::ResetBtn, !running);
    showButton(controls, &WatchFace::StopBtn, running);
    showButton(controls, &WatchFace::LapBtn, running);
}

// A running stopwatch changes every hundredth of a second; a stopped one only when a
// button or an option says so, like the clock.
void paceCountTimer(const WatchControls& controls, bool running) {
    controls.CountTimer->setPacing(running ? platform::TimerPacing::DisplayRate
                                           : platform::TimerPacing::PollsTimeOfDay);
}

} // namespace

void PressMode(state::WatchState& state, const WatchControls& controls) {
    if (controls.MainTimer->isEnabled()) {
        controls.mnuVisibleTwelve->setEnabled(false);
        controls.MainTimer->setEnabled(false);
        controls.CountTimer->setEnabled(true);
        showButton(controls, &WatchFace::HyoujiKirikae, false);
        showButton(controls, &WatchFace::AlarmOnBtn, false);
        showStopwatchButtons(controls, state.watch.StopwatchRunning);
    } else {
        controls.mnuVisibleTwelve->setEnabled(true);
        controls.MainTimer->setEnabled(true);
        controls.CountTimer->setEnabled(false);
        showButton(controls, &WatchFace::StartBtn, false);
        showButton(controls, &WatchFace::StopBtn, false);
        showButton(controls, &WatchFace::ResetBtn, false);
        showButton(controls, &WatchFace::LapBtn, false);
        showButton(controls, &WatchFace::HyoujiKirikae, true);
        showButton(controls, &WatchFace::AlarmOnBtn, true);
    }
    RefreshHourMode(controls);
    state::requestRedraw(state.watch);
}

void PressDisplaySwitch(state::WatchState& state, const WatchControls& controls) {
    controls.mnuVisibleTwelve->setChecked(!controls.mnuVisibleTwelve->isChecked());
    RefreshHourMode(controls);
    state::requestRedraw(state.watch);
}

void PressStart(state::WatchState& state, const WatchControls& controls) {
    showStopwatchButtons(controls, true);
    controls.activeFace().StopBtn->setFocus();
    state.watch.StopwatchStartTick = controls.clock->tickCount();
    state.watch.StopwatchRunning = true;
    paceCountTimer(controls, true);
}

void PressStop(state::WatchState& state, const WatchControls& controls) {
    showStopwatchButtons(controls, false);
    controls.activeFace().StartBtn->setFocus();
    state::WatchFields& w = state.watch;
    w.StopwatchAccumulated = runningElapsed(w, controls.clock->tickCount());
    w.LapHeld = false;
    w.StopwatchRunning = false;
    paceCountTimer(controls, false);
}

void PressAlarmOn(state::WatchState& state, const WatchControls& controls) {
    state::AlarmFields& a = state.alarm;
    const auto& colors = state.watch.SegmentColors;
    if (a.AlarmInProgress) {
        // A stop is for good: the alarm must not fire again in the second it was stopped in,
        // though the next tick checks that second again.
        state::stopAlarmByUser(a, state.watch.LastTimeText);
        state::recheckThisSecond(state.watch);
        controls.OneSec->setEnabled(false);
        colorMark(controls, &WatchFace::AlarmOn, colors[a.AlarmEnabled ? 1 : 0]);
        controls.MMControl->close();
        return;
    }
    a.AlarmEnabled = !a.AlarmEnabled;
    colorMark(controls, &WatchFace::AlarmOn, colors[a.AlarmEnabled ? 1 : 0]);
}

void PressReset(state::WatchState& state, const WatchControls&) {
    if (!state.watch.StopwatchRunning) {
        state.watch.StopwatchAccumulated = 0;
    }
}

void PressLap(state::WatchState& state, const WatchControls& controls) {
    state::WatchFields& w = state.watch;
    w.LapHeld = !w.LapHeld;
    w.LapTime = runningElapsed(w, controls.clock->tickCount());
}

void connectWatchButtons(WatchFace& face, state::WatchState& state, const WatchControls& controls) {
    auto wire = [&](platform::PictureButton* button, void (*routine)(state::WatchState&, const WatchControls&)) {
        button->clicked.setHandler([routine, &state, &controls] { routine(state, controls); });
    };
    wire(face.ModeBtn, PressMode);
    wire(face.HyoujiKirikae, PressDisplaySwitch);
    wire(face.StartBtn, PressStart);
    wire(face.StopBtn, PressStop);
    wire(face.AlarmOnBtn, PressAlarmOn);
    wire(face.ResetBtn, PressReset);
    wire(face.LapBtn, PressLap);
}

} // namespace kadrill::watch
