#include "Log.h"

#include "Text.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace kadrill::platform::win32 {

void logInfo(std::string_view category, std::string_view message) {
    const char* wanted = std::getenv("KADRILL_LOG");
    if (wanted == nullptr || *wanted == '\0' || !category.starts_with(wanted)) {
        return;
    }
    std::string line(category);
    line += ": ";
    line += message;
    line += '\n';
    ::OutputDebugStringW(wide(line).c_str());
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

} // namespace kadrill::platform::win32
