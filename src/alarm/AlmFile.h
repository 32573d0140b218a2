#pragma once

// The .alm alarm settings file: one value per line, lines ended by CR LF, text in CP932.
//
//   #07:30:00#           alarm time
//   #TRUE#               armed
//   1                    action: 0 sound, 1 program
//   ""                   sound file
//   "C:\TOOLS\EDIT.EXE"  program file
//   "a"                  key name    } one pair per key,
//   "{a}"                key code    } at most kMaxKeys pairs
//   "EOF"                end of the key pairs
//
// Nothing inside a quoted value is escaped. Since a line never holds more than one value,
// a quoted value runs to the last double quote of its line, so a value may contain
// double quotes itself (the typed key " is the name " with the code {"}).

#include "AlarmSettings.h"
#include "platform/FileSystem.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kadrill::alarm {

/// Files larger than this are not settings files and are not read.
inline constexpr std::size_t kMaxAlmFileSize = std::size_t{1} << 20;

/// What a settings file holds.
struct AlmContents {
    AlarmSettings settings;
    /// The file holds keys beyond the kMaxKeys the sequence can take; they were left out.
    bool keysLeftOut = false;

    friend bool operator==(const AlmContents&, const AlmContents&) = default;
};

/// The file's bytes for the settings; nullopt when a text holds a character the file
/// cannot carry (one that CP932 cannot encode, or a line break). The time is taken
/// modulo one day; the keys are written as given, an empty name included.
std::optional<std::string> encodeAlm(const AlarmSettings& settings);

/// What a file's bytes hold, or nullopt when the file is malformed: a value missing or of
/// the wrong form, text that is not CP932, an action other than 0 or 1, a key code that
/// does not parse, the end marker missing, or more than kMaxAlmFileSize bytes. The key
/// sequence ends at the first empty name; after kMaxKeys pairs only the next value is
/// looked at, to tell whether keys were left out.
std::optional<AlmContents> decodeAlm(std::string_view bytes);

enum class SaveOutcome {
    Saved,
    /// A text cannot be written in the file's code page; nothing was touched.
    Unencodable,
    // The file could not be written, for the reason named; whatever was at the path
    // before is still there.
    FolderNotWritable,
    NoFolder,
    DiskFull,
    FileReadOnly,
    NotAFile,
    /// The file could only be rewritten in place, and the space for that could not be
    /// reserved first.
    NoReservation,
    WriteFailed,
    /// The write failed after the file at the path had begun to change: it may hold part of
    /// the new settings, or the new file may not yet be safely on disk.
    Incomplete,
};

/// Writes the settings to `path`, replacing any file there only once the new one is
/// completely on disk (or rewriting it in place once the space is reserved).
[[nodiscard]] SaveOutcome saveAlmFile(platform::FileSystem& files, const std::string& path,
                                      const AlarmSettings& settings);

/// Reads the settings file at `path`; nullopt when it cannot be read or is malformed.
[[nodiscard]] std::optional<AlmContents> loadAlmFile(const platform::FileSystem& files, const std::string& path);

} // namespace kadrill::alarm
