// Feeds arbitrary bytes to the settings-file reader. Besides crashes and undefined
// behaviour it checks that whatever the reader accepts is written back and read again
// unchanged: the writer and the reader must agree on every file the program can load.

#include "alarm/AlmFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kadrill::alarm;
    const std::optional<AlmContents> read = decodeAlm(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!read) {
        return 0;
    }
    const std::optional<std::string> written = encodeAlm(read->settings);
    if (!written || decodeAlm(*written) != AlmContents{read->settings, false}) {
        std::abort();
    }
    return 0;
}
