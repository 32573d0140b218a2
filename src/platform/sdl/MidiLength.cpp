#include "MidiLength.h"

#include <algorithm>
#include <cstdint>
#include <map>

namespace kadrill::platform::sdl {

namespace {

// Reads big-endian numbers and variable-length quantities, failing past the end.
class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}

    bool atEnd() const { return pos_ >= bytes_.size(); }
    std::size_t pos() const { return pos_; }
    bool ok() const { return ok_; }

    std::uint32_t number(int size) {
        std::uint32_t value = 0;
        for (int i = 0; i < size; ++i) {
            value = (value << 8) | byte();
        }
        return value;
    }
    std::uint8_t byte() {
        if (pos_ >= bytes_.size()) {
            ok_ = false;
            return 0;
        }
        return static_cast<std::uint8_t>(bytes_[pos_++]);
    }
    std::uint32_t varLength() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const std::uint8_t b = byte();
            value = (value << 7) | (b & 0x7Fu);
            if ((b & 0x80u) == 0) {
                return value;
            }
        }
        ok_ = false;
        return value;
    }
    void skip(std::uint32_t count) {
        if (count > bytes_.size() - std::min(pos_, bytes_.size())) {
            ok_ = false;
            pos_ = bytes_.size();
            return;
        }
        pos_ += count;
    }

private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

constexpr std::uint32_t kDefaultTempo = 500'000; // microseconds a quarter note: 120 beats a minute

} // namespace

std::optional<double> midiNotesEnd(std::string_view file) {
    Reader in(file);
    const std::uint32_t magic = in.number(4);
    const std::uint32_t headerLength = in.number(4);
    if (magic != 0x4D546864 /* MThd */ || headerLength < 6) {
        return std::nullopt;
    }
    in.number(2); // format
    const std::uint32_t tracks = in.number(2);
    const std::uint32_t division = in.number(2);
    if (!in.ok() || division == 0) {
        return std::nullopt;
    }
    in.skip(headerLength - 6);

    std::map<std::uint64_t, std::uint32_t> tempos; // tick → microseconds a quarter note
    std::optional<std::uint64_t> lastNoteTick;
    for (std::uint32_t t = 0; t < tracks && in.ok() && !in.atEnd(); ++t) {
        const std::uint32_t id = in.number(4);
        const std::uint32_t length = in.number(4);
        if (id != 0x4D54726B /* MTrk */) {
            in.skip(length);
            continue;
        }
        const std::size_t end = in.pos() + length;
        std::uint64_t tick = 0;
        std::uint8_t status = 0;
        while (in.ok() && in.pos() < end) {
            tick += in.varLength();
            std::uint8_t b = in.byte();
            if (b == 0xFF) { // meta event
                const std::uint8_t type = in.byte();
                const std::uint32_t size = in.varLength();
                if (type == 0x51 && size == 3) {
                    tempos[tick] = in.number(3);
                } else if (type == 0x2F) {
                    in.skip(size);
                    break;
                } else {
                    in.skip(size);
                }
                continue;
            }
            if (b == 0xF0 || b == 0xF7) { // system exclusive
                in.skip(in.varLength());
                continue;
            }
            if ((b & 0x80u) != 0) {
                status = b;
                b = in.byte();
            } else if (status == 0) {
                return std::nullopt; // running status with none to run on
            }
            const std::uint8_t kind = status & 0xF0u;
            if (kind != 0xC0 && kind != 0xD0) {
                in.byte();
            }
            if (kind == 0x80 || kind == 0x90) {
                lastNoteTick = std::max(lastNoteTick.value_or(0), tick);
            }
        }
        if (in.pos() < end) {
            in.skip(static_cast<std::uint32_t>(end - in.pos()));
        }
    }
    if (!in.ok() || !lastNoteTick) {
        return std::nullopt;
    }

    // Timecode division: frames a second (negated) and ticks a frame.
    if ((division & 0x8000u) != 0) {
        const int fps = 256 - static_cast<int>(division >> 8);
        const int perFrame = static_cast<int>(division & 0xFFu);
        return fps > 0 && perFrame > 0 ? std::optional<double>(static_cast<double>(*lastNoteTick) / (fps * perFrame)) : std::nullopt;
    }
    double seconds = 0;
    std::uint64_t at = 0;
    std::uint32_t tempo = kDefaultTempo;
    for (const auto& [tick, next] : tempos) {
        if (tick >= *lastNoteTick) {
            break;
        }
        seconds += static_cast<double>(tick - at) * tempo / division / 1e6;
        at = tick;
        tempo = next;
    }
    return seconds + static_cast<double>(*lastNoteTick - at) * tempo / division / 1e6;
}

} // namespace kadrill::platform::sdl
