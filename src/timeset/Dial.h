#pragma once

#include "platform/Container.h"
#include "platform/Event.h"
#include "state/DialFields.h"

#include <array>
#include <string>

namespace kadrill::timeset {

/// Where a dialog puts its dial and its boxes, and how it differs from the other dialog's.
struct DialLayout {
    platform::Point frame1; ///< "針の調整", twips in the dialog
    platform::Point frame2; ///< the boxes' frame
    std::string frame2Caption;
    /// Tab index of the hour box; minutes and seconds follow.
    int firstBoxTab = 0;
    /// The alarm dialog keeps its marks at fractional positions.
    bool roundMarks = true;
};

/// A small analogue clock face with three hands, paired with three boxes (hour, minute,
/// second) that always show the same time. The left button drags the minute hand, the
/// right button the second hand; sweeping past 12 o'clock carries into the next unit.
class Dial {
public:
    Dial(platform::Container& dialog, state::DialFields& fields, std::int16_t& dragButton, const DialLayout& layout);
    Dial(const Dial&) = delete;
    Dial& operator=(const Dial&) = delete;

    /// The dialog's load step: the centre from the hour hand's start, no drag in progress.
    void Load();
    /// The 60 minute marks on the face.
    void DrawDialTicks();
    /// Writes the three values into the boxes and moves the hands to them.
    void DrawDialHands();
    /// Ends a drag that the closing dialog interrupted.
    void endDrag() { dragButton_ = 0; }

    /// A press with any button on the face (after the drag state is set).
    platform::Event<> facePressed;

    platform::Frame* Frame1 = nullptr;
    platform::Picture* Picture1 = nullptr;
    /// Minute, hour and second hands.
    std::array<platform::LineShape*, 3> Hand{};
    platform::Frame* Frame2 = nullptr;
    platform::TextBox* Hour = nullptr;
    platform::TextBox* Min = nullptr;
    platform::TextBox* Sec = nullptr;

private:
    void pressed(const platform::MouseEvent& e);
    void moved(const platform::MouseEvent& e);
    void boxChanged(platform::TextBox& box, std::int32_t& value, int bound);
    void describeHands();

    state::DialFields& fields_;
    std::int16_t& dragButton_;
    bool roundMarks_;
    /// The time the picture's accessible text tells, in seconds of the day; -1 for none yet.
    std::int32_t describedAt_ = -1;
};

} // namespace kadrill::timeset
