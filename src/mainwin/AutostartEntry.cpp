#include "AutostartEntry.h"

#include <string_view>

namespace kadrill::mainwin {

namespace {

bool needsNoQuotes(const std::string& argument) {
    constexpr std::string_view kPlain = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-./+,:@=";
    return !argument.empty() && argument.find_first_not_of(kPlain) == std::string::npos;
}

} // namespace

std::string desktopExecArgument(const std::string& argument) {
    if (needsNoQuotes(argument)) {
        return argument;
    }
    std::string out = "\"";
    for (const char c : argument) {
        switch (c) {
        case '"':
        case '`':
        case '$':
            out += "\\\\"; // the quoting's backslash, itself escaped for the string value
            out += c;
            break;
        case '\\':
            out += "\\\\\\\\";
            break;
        case '%':
            out += "%%";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out + "\"";
}

std::string autostartEntryText(const std::string& programCommand, const std::string& almPath) {
#ifdef _WIN32
    // Windows keeps a command line in its Run key: quoted, since no Windows path holds a
    // double quote, and a file's path never ends in the backslash that would escape it.
    return "\"" + programCommand + "\" \"" + almPath + "\"";
#else
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Kadrill\n"
           "Name[ja]=カドリル\n"
           "Comment=Starts Kadrill at login with its alarm settings\n"
           "Comment[ja]=ログインしたときにアラームの設定を読み込んで Kadrill を起動します\n"
           "Exec=" +
           desktopExecArgument(programCommand) + " " + desktopExecArgument(almPath) +
           "\n"
           "Terminal=false\n"
           "StartupNotify=false\n";
#endif
}

} // namespace kadrill::mainwin
