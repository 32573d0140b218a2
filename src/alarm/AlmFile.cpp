#include "AlmFile.h"

#include "Cp932.h"
#include "KeyCode.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <utility>
#include <variant>

namespace kadrill::alarm {

namespace {

constexpr std::int32_t kSecondsPerDay = 24 * 60 * 60;
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kEndMarker = "EOF";

// ---------------------------------------------------------------------------------------
// Key codes

/// A code the key sender would refuse marks the whole file as damaged or hand-made wrong.
bool isValidKeyCode(std::string_view code) { return std::holds_alternative<platform::KeyStroke>(parseKeyCode(code)); }

// ---------------------------------------------------------------------------------------
// Reading

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view skipBlanks(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) {
        s.remove_prefix(1);
    }
    return s;
}

std::string_view trimBlanks(std::string_view s) {
    s = skipBlanks(s);
    while (!s.empty() && isBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

/// Hands out a file's lines one at a time, each without its line end.
class LineReader {
public:
    explicit LineReader(std::string_view bytes) : rest_(bytes) {}

    /// nullopt at the end of the file, and for a line holding a CR of its own, which no
    /// value may contain. A last line without a line end still counts.
    std::optional<std::string_view> next() {
        if (rest_.empty()) {
            return std::nullopt;
        }
        const std::size_t lf = rest_.find('\n');
        std::string_view line = rest_.substr(0, lf);
        rest_.remove_prefix(lf == std::string_view::npos ? rest_.size() : lf + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.find('\r') != std::string_view::npos) {
            return std::nullopt;
        }
        return line;
    }

private:
    std::string_view rest_;
};

/// The text between the first and the last double quote of the line. CP932 never uses the
/// byte of " inside a two-byte character, so the search is safe on the undecoded line.
std::optional<std::string_view> quotedValue(std::string_view line) {
    line = skipBlanks(line);
    const std::size_t last = line.rfind('"');
    if (line.empty() || line.front() != '"' || last == 0 || !skipBlanks(line.substr(last + 1)).empty()) {
        return std::nullopt;
    }
    return line.substr(1, last - 1);
}

/// The text between the #s of a date, time or boolean literal.
std::optional<std::string_view> hashLiteral(std::string_view line) {
    line = skipBlanks(line);
    if (line.empty() || line.front() != '#') {
        return std::nullopt;
    }
    const std::size_t close = line.find('#', 1);
    if (close == std::string_view::npos || !skipBlanks(line.substr(close + 1)).empty()) {
        return std::nullopt;
    }
    return line.substr(1, close - 1);
}

/// A number of minDigits to maxDigits decimal digits at the start of `s`, consumed.
std::optional<int> takeNumber(std::string_view& s, std::size_t minDigits, std::size_t maxDigits) {
    std::size_t n = 0;
    while (n < s.size() && n < maxDigits && s[n] >= '0' && s[n] <= '9') {
        ++n;
    }
    if (n < minDigits) {
        return std::nullopt;
    }
    int value = 0;
    std::from_chars(s.data(), s.data() + n, value);
    s.remove_prefix(n);
    return value;
}

bool takeChar(std::string_view& s, char c) {
    if (s.empty() || s.front() != c) {
        return false;
    }
    s.remove_prefix(1);
    return true;
}

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

/// A date yyyy-mm-dd or yyyy/mm/dd, consumed when it is a real calendar date.
bool takeDate(std::string_view& s) {
    std::string_view rest = s;
    const std::optional<int> year = takeNumber(rest, 4, 4);
    if (!year || rest.empty() || (rest.front() != '-' && rest.front() != '/')) {
        return false;
    }
    const char separator = rest.front();
    rest.remove_prefix(1);
    const std::optional<int> month = takeNumber(rest, 1, 2);
    if (!month || !takeChar(rest, separator)) {
        return false;
    }
    const std::optional<int> day = takeNumber(rest, 1, 2);
    static constexpr std::array<int, 12> kDays = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (!day || *year < 1 || *month < 1 || *month > 12 || *day < 1 || *day > kDays[*month - 1] ||
        (*month == 2 && *day == 29 && !isLeapYear(*year))) {
        return false;
    }
    s = rest;
    return true;
}

/// A time of day H:MM or H:MM:SS (24-hour clock), consumed, as seconds.
std::optional<std::int32_t> takeTime(std::string_view& s) {
    std::string_view rest = s;
    const std::optional<int> hour = takeNumber(rest, 1, 2);
    if (!hour || !takeChar(rest, ':')) {
        return std::nullopt;
    }
    const std::optional<int> minute = takeNumber(rest, 1, 2);
    std::optional<int> second = 0;
    if (takeChar(rest, ':')) {
        second = takeNumber(rest, 1, 2);
    }
    if (!minute || !second || *hour > 23 || *minute > 59 || *second > 59) {
        return std::nullopt;
    }
    s = rest;
    return *hour * 3600 + *minute * 60 + *second;
}

/// The time of day of a #-literal: a time, a date and a time, or a date alone (midnight).
std::optional<std::int32_t> parseTimeOfDay(std::string_view literal) {
    std::string_view rest = trimBlanks(literal);
    const bool hasDate = takeDate(rest);
    const std::string_view afterDate = rest;
    rest = skipBlanks(rest);
    if (hasDate && rest.empty()) {
        return 0;
    }
    if (hasDate && rest.size() == afterDate.size()) {
        return std::nullopt; // date and time run together
    }
    const std::optional<std::int32_t> time = takeTime(rest);
    if (!time || !rest.empty()) {
        return std::nullopt;
    }
    return time;
}

std::optional<bool> parseBoolean(std::string_view literal) {
    if (literal == "TRUE") {
        return true;
    }
    if (literal == "FALSE") {
        return false;
    }
    return std::nullopt;
}

std::optional<std::int16_t> parseActionType(std::string_view line) {
    line = trimBlanks(line);
    if (!line.empty() && line.front() == '+') {
        line.remove_prefix(1);
    }
    std::int16_t value = 0;
    const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), value);
    // Only the two actions there are: any other would arm an alarm that does nothing.
    if (line.empty() || error != std::errc() || end != line.data() + line.size() || (value != 0 && value != 1)) {
        return std::nullopt;
    }
    return value;
}

/// Reads the file's values one by one; any value missing or malformed fails the whole.
class AlmParser {
public:
    explicit AlmParser(std::string_view bytes) : lines_(bytes) {}

    std::optional<AlmContents> parse() {
        AlmContents contents;
        AlarmSettings& s = contents.settings;
        const std::optional<std::string_view> timeLiteral = literal();
        const std::optional<std::int32_t> time = timeLiteral ? parseTimeOfDay(*timeLiteral) : std::nullopt;
        const std::optional<std::string_view> enabledLiteral = time ? literal() : std::nullopt;
        const std::optional<bool> enabled = enabledLiteral ? parseBoolean(*enabledLiteral) : std::nullopt;
        const std::optional<std::string_view> actionLine = enabled ? lines_.next() : std::nullopt;
        const std::optional<std::int16_t> action = actionLine ? parseActionType(*actionLine) : std::nullopt;
        std::optional<std::string> sound = action ? text() : std::nullopt;
        std::optional<std::string> program = sound ? text() : std::nullopt;
        if (!program) {
            return std::nullopt;
        }
        s.time = *time;
        s.enabled = *enabled;
        s.actionType = *action;
        s.soundFile = std::move(*sound);
        s.programFile = std::move(*program);

        // The sequence ends at the first empty name; the pairs after it are read past
        // (the end marker is still looked for) but not kept.
        bool sequenceEnded = false;
        for (std::size_t i = 0; i < state::kMaxKeys; ++i) {
            std::optional<std::string> name = text();
            if (!name) {
                return std::nullopt;
            }
            if (*name == kEndMarker) {
                return contents;
            }
            std::optional<std::string> code = text();
            if (!code) {
                return std::nullopt;
            }
            sequenceEnded = sequenceEnded || name->empty();
            if (sequenceEnded) {
                continue;
            }
            if (!isValidKeyCode(*code)) {
                return std::nullopt;
            }
            s.keys.push_back({std::move(*name), std::move(*code)});
        }
        // A full sequence has no room for a marker to be looked for; a key after it is one
        // the file holds and the alarm cannot, which the user must hear of.
        if (!sequenceEnded) {
            const std::optional<std::string> next = text();
            contents.keysLeftOut = next && !next->empty() && *next != kEndMarker;
        }
        return contents;
    }

private:
    std::optional<std::string_view> literal() {
        const std::optional<std::string_view> line = lines_.next();
        return line ? hashLiteral(*line) : std::nullopt;
    }

    std::optional<std::string> text() {
        const std::optional<std::string_view> line = lines_.next();
        const std::optional<std::string_view> raw = line ? quotedValue(*line) : std::nullopt;
        return raw ? cp932_.decode(*raw) : std::nullopt;
    }

    LineReader lines_;
    Cp932 cp932_;
};

void appendTwoDigits(std::string& out, std::int32_t value) {
    out += static_cast<char>('0' + value / 10);
    out += static_cast<char>('0' + value % 10);
}

} // namespace

std::optional<std::string> encodeAlm(const AlarmSettings& settings) {
    Cp932 cp932;
    std::string out;
    bool encodable = true;
    const auto appendText = [&](const std::string& text) {
        std::optional<std::string> bytes;
        // A line break would split the value over two lines.
        if (text.find_first_of("\r\n") == std::string::npos) {
            bytes = cp932.encode(text);
        }
        encodable = encodable && bytes.has_value();
        if (bytes) {
            out += '"';
            out += *bytes;
            out += '"';
            out += kLineEnd;
        }
    };

    const std::int32_t time = (settings.time % kSecondsPerDay + kSecondsPerDay) % kSecondsPerDay;
    out += '#';
    appendTwoDigits(out, time / 3600);
    out += ':';
    appendTwoDigits(out, time / 60 % 60);
    out += ':';
    appendTwoDigits(out, time % 60);
    out += '#';
    out += kLineEnd;
    out += settings.enabled ? "#TRUE#" : "#FALSE#";
    out += kLineEnd;
    out += std::to_string(settings.actionType);
    out += kLineEnd;
    appendText(settings.soundFile);
    appendText(settings.programFile);
    for (const KeyEntry& key : settings.keys) {
        appendText(key.name);
        appendText(key.code);
    }
    appendText(std::string(kEndMarker));
    if (!encodable) {
        return std::nullopt;
    }
    return out;
}

std::optional<AlmContents> decodeAlm(std::string_view bytes) {
    if (bytes.size() > kMaxAlmFileSize) {
        return std::nullopt;
    }
    return AlmParser(bytes).parse();
}

SaveOutcome saveAlmFile(platform::FileSystem& files, const std::string& path, const AlarmSettings& settings) {
    const std::optional<std::string> bytes = encodeAlm(settings);
    if (!bytes) {
        return SaveOutcome::Unencodable;
    }
    using Status = platform::WriteResult::Status;
    const platform::WriteResult result = files.replaceFile(path, *bytes);
    if (!result.untouched) {
        return SaveOutcome::Incomplete;
    }
    switch (result.status) {
    case Status::Written:
        return SaveOutcome::Saved;
    case Status::NoReservation:
        return SaveOutcome::NoReservation;
    case Status::FolderNotWritable:
        return SaveOutcome::FolderNotWritable;
    case Status::NoFolder:
        return SaveOutcome::NoFolder;
    case Status::DiskFull:
        return SaveOutcome::DiskFull;
    case Status::ReadOnly:
        return SaveOutcome::FileReadOnly;
    case Status::NotAFile:
        return SaveOutcome::NotAFile;
    case Status::Failed:
        break;
    }
    return SaveOutcome::WriteFailed;
}

std::optional<AlmContents> loadAlmFile(const platform::FileSystem& files, const std::string& path) {
    const platform::ReadResult read = files.readFile(path, kMaxAlmFileSize);
    if (read.status != platform::ReadResult::Status::Read) {
        return std::nullopt;
    }
    return decodeAlm(read.bytes);
}

} // namespace kadrill::alarm
