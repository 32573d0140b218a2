// Feeds arbitrary text to the number reading of the dial's boxes (hour, minute, second of
// the set-time and alarm dialogs), which sees whatever a person types or pastes. Only the
// leading number counts: blanks before it and anything after it change nothing.

#include "timeset/DialMath.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using kadrill::timeset::leadingNumber;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const long long n = leadingNumber(text);
    if (leadingNumber(" " + text) != n) {
        std::abort();
    }
    // A letter ends any number, so it may follow the text without changing its value;
    // only an exponent could join a number, and it is not read.
    if (leadingNumber(text + "x") != n) {
        std::abort();
    }
    return 0;
}
