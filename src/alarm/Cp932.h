#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kadrill::alarm {

/// The program's text is UTF-8; a settings file's is code page 932, Windows' Japanese.
class Cp932 {
public:
    Cp932();
    Cp932(const Cp932&) = delete;
    Cp932& operator=(const Cp932&) = delete;
    ~Cp932();

    /// nullopt unless the text comes back unchanged: a converter may map some characters
    /// one way only (¥ to the byte of \, 〜 to the byte of ～), and a path or a key read
    /// back as a different character is as wrong as garbage.
    std::optional<std::string> encode(std::string_view utf8);
    /// nullopt when any byte sequence is no character of the code page.
    std::optional<std::string> decode(std::string_view cp932);

private:
    struct Converters;
    std::unique_ptr<Converters> converters_;
};

} // namespace kadrill::alarm
