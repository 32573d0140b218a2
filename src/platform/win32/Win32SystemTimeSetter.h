#pragma once

#include "platform/SystemTimeSetter.h"

#include <functional>
#include <memory>

namespace kadrill::platform::win32 {

/// Sets the clock with SetLocalTime, after enabling the right to (SeSystemtimePrivilege)
/// on the process's token for the call. Windows grants that right to administrators, in
/// a process run as administrator; elsewhere the answer is Denied. The call itself is
/// quick, so it is made at once; the answer waits for the event loop.
///
/// Construct as Win32SystemTimeSetter setter(post, clockMoved): `post` runs a function
/// later on the user-interface thread (the application's post), `clockMoved` runs after a
/// successful set and before `done`, so that the timers that follow the wall clock are
/// re-armed before anything reads them.
class Win32SystemTimeSetter final : public SystemTimeSetter {
public:
    using Post = std::function<void(std::function<void()>)>;

    Win32SystemTimeSetter(Post post, std::function<void()> clockMoved);
    /// Answers still on their way are dropped: their `done` never runs.
    ~Win32SystemTimeSetter() override;

    void setLocalTimeOfDay(int hour, int minute, int second, std::function<void(SetTimeResult)> done) override;

private:
    void answerLater(SetTimeResult result, std::function<void(SetTimeResult)> done);

    Post post_;
    std::function<void()> clockMoved_;
    std::shared_ptr<bool> alive_;
};

} // namespace kadrill::platform::win32
