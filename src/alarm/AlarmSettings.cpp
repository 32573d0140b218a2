#include "AlarmSettings.h"

namespace kadrill::alarm {

AlarmSettings settingsOf(const state::AlarmFields& fields) {
    AlarmSettings s;
    s.time = fields.AlarmTime;
    s.enabled = fields.AlarmEnabled;
    s.actionType = fields.AlarmActionType;
    s.soundFile = fields.AlarmSoundFile;
    s.programFile = fields.AlarmProgramFile;
    for (std::size_t i = 0; i < state::kMaxKeys && !fields.AlarmKeyNames[i].empty(); ++i) {
        s.keys.push_back({fields.AlarmKeyNames[i], fields.AlarmKeyCodes[i]});
    }
    return s;
}

void applySettings(state::AlarmFields& fields, const AlarmSettings& settings) {
    fields.AlarmTime = settings.time;
    fields.AlarmEnabled = settings.enabled;
    fields.AlarmActionType = settings.actionType;
    fields.AlarmSoundFile = settings.soundFile;
    fields.AlarmProgramFile = settings.programFile;
    for (std::size_t i = 0; i < state::kMaxKeys; ++i) {
        const bool set = i < settings.keys.size();
        fields.AlarmKeyNames[i] = set ? settings.keys[i].name : std::string();
        fields.AlarmKeyCodes[i] = set ? settings.keys[i].code : std::string();
    }
}

} // namespace kadrill::alarm
