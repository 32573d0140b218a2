#pragma once

#include "state/AlarmFields.h"
#include "state/DialFields.h"
#include "state/MainWindowFields.h"
#include "state/NoodleFields.h"
#include "state/WatchFields.h"

namespace kadrill::state {

/// The one record of state that the windows, timers and dialogs share, one part per
/// subsystem. It lives for the whole process and is never written to disk.
struct WatchState {
    WatchFields watch;
    AlarmFields alarm;
    MainWindowFields mainwin;
    DialState dials;
    NoodleFields ramen;
};

} // namespace kadrill::state
