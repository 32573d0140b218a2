#include "FaceReading.h"

#include "Stopwatch.h"
#include "platform/Controls.h"
#include "platform/Window.h"

namespace kadrill::watch {

namespace {

constexpr const char* kLit = "点灯";
constexpr const char* kUnlit = "消灯";

std::string minutesAndSeconds(int minutes, int seconds) {
    return std::to_string(minutes) + "分" + std::to_string(seconds) + "秒";
}

} // namespace

std::string clockReading(const platform::TimeOfDay& time, bool twelveHour) {
    std::string hour;
    if (twelveHour) {
        const int h = time.hour % 12 == 0 ? 12 : time.hour % 12;
        hour = (time.hour < 12 ? "午前" : "午後") + std::to_string(h);
    } else {
        hour = std::to_string(time.hour);
    }
    return hour + "時" + minutesAndSeconds(time.minute, time.second);
}

std::string stopwatchReading(std::int32_t elapsed, bool running, bool lapHeld) {
    // The same figures as the digits: minutes within the hour, seconds, hundredths.
    const DigitCodes d = stopwatchDigits(elapsed);
    const int minutes = d[0] * 10 + d[1];
    const int seconds = d[2] * 10 + d[3];
    const std::string hundredths = {static_cast<char>('0' + d[4]), static_cast<char>('0' + d[5])};
    if (running && !lapHeld) {
        return "ｽﾄｯﾌﾟｳｫｯﾁ 計測中 " + minutesAndSeconds(minutes, seconds);
    }
    return std::string("ｽﾄｯﾌﾟｳｫｯﾁ ") + (running ? "ﾗｯﾌﾟ " : "停止中 ") + minutesAndSeconds(minutes, seconds) +
           hundredths;
}

void describeWatch(const WatchControls& controls, const state::WatchState& state, const std::string& reading) {
    const platform::Color lit = state.watch.SegmentColors[1];
    // The ♪ blinks while an alarm runs: which phase it is in says nothing.
    std::string alarm = state.alarm.AlarmInProgress ? "点滅 ｱﾗｰﾑ鳴動中"
                        : state.alarm.AlarmEnabled  ? std::string(kLit) + " ｱﾗｰﾑｵﾝ"
                                                    : std::string(kUnlit) + " ｱﾗｰﾑｵﾌ";
    controls.forEachFace([&](WatchFace& face) {
        if (face.window != nullptr) {
            face.window->setAccessibleText({reading, ""});
        }
        face.AM->setAccessibleText({"午前", face.AM->foreColor() == lit ? kLit : kUnlit});
        face.PM->setAccessibleText({"午後", face.PM->foreColor() == lit ? kLit : kUnlit});
        face.AlarmOn->setAccessibleText({"ｱﾗｰﾑ", alarm});
    });
}

} // namespace kadrill::watch
