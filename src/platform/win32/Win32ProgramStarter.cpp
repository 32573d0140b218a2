#include "Win32ProgramStarter.h"

#include "Log.h"
#include "Text.h"

#include <windows.h>


namespace kadrill::platform::win32 {

namespace {

StartResult notStarted(StartResult::Status status, const std::wstring& path, const std::string& why) {
    logInfo("kadrill.alarm", "program not started: " + utf8(path) + ": " + why);
    return {status, 0, why};
}

} // namespace

StartResult Win32ProgramStarter::start(const std::string& path) {
    // A bare name is the file in the working folder, where the alarm looked for it.
    const std::wstring program = fullPath(nativePath(path));
    const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(program.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return notStarted(StartResult::Status::NotFound, program, "no such file");
    }
    // The program's own name as its first argument, as every program expects.
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                          CREATE_NEW_CONSOLE | CREATE_NEW_PROCESS_GROUP | CREATE_UNICODE_ENVIRONMENT, nullptr, nullptr,
                          &startup, &process)) {
        const DWORD error = ::GetLastError();
        switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return notStarted(StartResult::Status::NotFound, program, errorText(error));
        case ERROR_ACCESS_DENIED:
        case ERROR_BAD_EXE_FORMAT:
        case ERROR_EXE_MACHINE_TYPE_MISMATCH:
        case ERROR_EXE_MARKED_INVALID:
        case ERROR_BAD_FORMAT:
            return notStarted(StartResult::Status::NotExecutable, program, errorText(error));
        default:
            return notStarted(StartResult::Status::Failed, program, errorText(error));
        }
    }
    // The alarm types into the program's window: it may come to the front although the
    // watch is not in front itself.
    ::AllowSetForegroundWindow(process.dwProcessId);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return {StartResult::Status::Started, static_cast<std::int64_t>(process.dwProcessId), {}};
}

} // namespace kadrill::platform::win32
