#pragma once

#include "state/AlarmFields.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kadrill::alarm {

/// One key of a sequence: its display name and its key code.
struct KeyEntry {
    std::string name;
    std::string code;
    friend bool operator==(const KeyEntry&, const KeyEntry&) = default;
};

/// A complete set of alarm settings as one value: what a settings file holds, what the
/// alarm dialog edits, and what the live fields are set from all at once.
struct AlarmSettings {
    /// Second of the day, 0..86399.
    std::int32_t time = 0;
    bool enabled = false;
    std::int16_t actionType = 0;
    std::string soundFile;
    std::string programFile;
    /// At most kMaxKeys entries, none with an empty name.
    std::vector<KeyEntry> keys;

    friend bool operator==(const AlarmSettings&, const AlarmSettings&) = default;
};

/// The live settings as one value; the key sequence ends at the first empty name.
AlarmSettings settingsOf(const state::AlarmFields& fields);

/// Sets every setting field at once; the run state and the key table are left alone.
void applySettings(state::AlarmFields& fields, const AlarmSettings& settings);

} // namespace kadrill::alarm
