#pragma once

#include "alarm/AlarmFields.h"
#include "mainwin/MainWindowFields.h"
#include "ramen/NoodleFields.h"
#include "timeset/DialFields.h"
#include "watch/WatchFields.h"

namespace kadrill::watch {

/// The one record of state that the windows, timers and dialogs share, one part per
/// subsystem. It lives for the whole process and is never written to disk.
struct WatchState {
    WatchFields watch;
    alarm::AlarmFields alarm;
    mainwin::MainWindowFields mainwin;
    timeset::DialState dials;
    ramen::NoodleFields ramen;
};

} // namespace kadrill::watch
