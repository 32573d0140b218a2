#pragma once
// The settings file of the tests: one sample alarm and its bytes, as every platform writes them.

#include "alarm/AlmFile.h"

#include <optional>
#include <string>
#include <string_view>

namespace kadrill::alarm::samples {

// An armed alarm at 7:30:00 that starts C:\TOOLS\EDIT.EXE and types a, then Enter.
inline AlarmSettings SampleSettings() {
    AlarmSettings s;
    s.time = 7 * 3600 + 30 * 60;
    s.enabled = true;
    s.actionType = 1;
    s.programFile = "C:\\TOOLS\\EDIT.EXE";
    s.keys = {{"a", "{a}"}, {"Enter", "{ENTER}"}};
    return s;
}

constexpr std::string_view kSampleFile = "#07:30:00#\r\n"
                                         "#TRUE#\r\n"
                                         "1\r\n"
                                         "\"\"\r\n"
                                         "\"C:\\TOOLS\\EDIT.EXE\"\r\n"
                                         "\"a\"\r\n"
                                         "\"{a}\"\r\n"
                                         "\"Enter\"\r\n"
                                         "\"{ENTER}\"\r\n"
                                         "\"EOF\"\r\n";

/// The five leading lines of a disarmed sound alarm at midnight with no files.
constexpr std::string_view kHead = "#00:00:00#\r\n#FALSE#\r\n0\r\n\"\"\r\n\"\"\r\n";

inline std::string Pairs(std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        out += "\"F" + std::to_string(i % 16 + 1) + "\"\r\n\"{F" + std::to_string(i % 16 + 1) + "}\"\r\n";
    }
    return out;
}

/// The settings a file's bytes hold, whatever else the reader says about them.
inline std::optional<AlarmSettings> Settings(std::string_view bytes) {
    std::optional<AlmContents> read = decodeAlm(bytes);
    return read ? std::optional(std::move(read->settings)) : std::nullopt;
}

} // namespace kadrill::alarm::samples
