#pragma once

#include "Dial.h"
#include "platform/Platform.h"
#include "platform/SystemTimeSetter.h"
#include "platform/Window.h"
#include "state/DialFields.h"

#include <memory>

namespace kadrill::timeset {

/// The set-time dialog: a dial that follows the clock ten times a second until the user
/// takes hold of it, then sets the computer's clock to what the dial shows. One instance;
/// opening it again only brings it forward.
class TimeSet {
public:
    TimeSet(platform::Platform& platform, state::DialState& dials);
    TimeSet(const TimeSet&) = delete;
    TimeSet& operator=(const TimeSet&) = delete;
    ~TimeSet();

    /// Opens the dialog, or brings the open one forward.
    void Show();
    bool isOpen() const { return window_ != nullptr; }

    // The open dialog's parts; null while it is closed.
    platform::Window* window() { return window_.get(); }
    Dial* dial() { return dial_.get(); }
    platform::CommandButton* Command1 = nullptr; ///< OK
    platform::CommandButton* Command2 = nullptr; ///< キャンセル
    platform::CommandButton* Command3 = nullptr; ///< 適用(&A)
    platform::Timer* Timer1 = nullptr;

private:
    void Load();
    void Timer1Tick();
    void startEditing();
    void apply();
    void ok();
    void close();
    void setTime(bool closeWhenDone);
    void answered(unsigned session, unsigned request, const platform::SetTimeResult& result);

    platform::Platform& platform_;
    state::DialState& dials_;
    std::unique_ptr<platform::Window> window_;
    std::unique_ptr<Dial> dial_;
    /// Counts openings: an answer that arrives after its dialog closed (a password
    /// question left open, say) belongs to no later opening.
    unsigned session_ = 0;
    /// Counts requests: of several in flight, only the latest one's answer decides what
    /// the dialog shows, since only its time is the one on the dial.
    unsigned requests_ = 0;
    unsigned latestRequest_ = 0;
    bool latestPending_ = false;
    /// Counts edits: an answer to an earlier edit must not throw away a later one.
    unsigned edits_ = 0;
    unsigned editsAtRequest_ = 0;
    /// OK was pressed: close once the latest request is done.
    bool closeWhenSet_ = false;
    /// Shared with answers in flight, which must not touch a destroyed dialog.
    std::shared_ptr<TimeSet*> self_;
};

} // namespace kadrill::timeset
