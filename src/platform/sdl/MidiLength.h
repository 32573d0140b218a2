#pragma once

#include <optional>
#include <string_view>

namespace kadrill::platform::sdl {

/// When the last note of a Standard MIDI File ends, in seconds from its start, following
/// its tempo changes; none when the bytes are no such file or hold no notes.
std::optional<double> midiNotesEnd(std::string_view file);

} // namespace kadrill::platform::sdl
