#include "Cp932.h"

#include <iconv.h>

namespace kadrill::alarm {

namespace {

/// One iconv conversion, closed with its owner.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(::iconv_open(to, from)) {}
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    ~Converter() {
        if (isOpen()) {
            ::iconv_close(cd_);
        }
    }

    bool isOpen() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    /// The whole text converted; nullopt when any part of it has no counterpart.
    std::optional<std::string> convert(std::string_view in) {
        if (!isOpen()) {
            return std::nullopt;
        }
        if (in.empty()) {
            return std::string();
        }
        // Between UTF-8 and CP932 no character takes more than three bytes per input byte.
        std::string out(in.size() * 3, '\0');
        char* inPtr = const_cast<char*>(in.data());
        std::size_t inLeft = in.size();
        char* outPtr = out.data();
        std::size_t outLeft = out.size();
        ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        if (::iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) ||
            ::iconv(cd_, nullptr, nullptr, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
            return std::nullopt;
        }
        out.resize(out.size() - outLeft);
        return out;
    }

private:
    iconv_t cd_;
};

} // namespace

// glibc's "CP932": "SHIFT_JIS" lacks characters such as ～.
struct Cp932::Converters {
    Converter toCp932{"CP932", "UTF-8"};
    Converter toUtf8{"UTF-8", "CP932"};
};

Cp932::Cp932() : converters_(std::make_unique<Converters>()) {}
Cp932::~Cp932() = default;

std::optional<std::string> Cp932::encode(std::string_view utf8) {
    std::optional<std::string> bytes = converters_->toCp932.convert(utf8);
    if (!bytes || decode(*bytes) != utf8) {
        return std::nullopt;
    }
    return bytes;
}

std::optional<std::string> Cp932::decode(std::string_view cp932) { return converters_->toUtf8.convert(cp932); }

} // namespace kadrill::alarm
