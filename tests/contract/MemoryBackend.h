#pragma once

#include "BackendDriver.h"
#include "memory/MemoryPlatform.h"

#include <deque>
#include <string>

namespace kadrill::contract {

/// The in-memory desktop, worked through the hooks it offers tests.
class MemoryBackend {
public:
    static constexpr const char* kName = "Memory";
    static constexpr char kPathSeparator = '/';

    MemoryBackend();

    platform::WindowSystem& windows() { return desk_.windows; }
    platform::TrayIcon& tray() { return desk_.tray; }
    platform::MessageBoxes& messages() { return desk_.messages; }
    platform::Clock& clock() { return desk_.clock; }
    platform::Application& app() { return desk_.app; }
    platform::FileDialogs& fileDialogs() { return desk_.fileDialogs; }
    platform::FileSystem& files() { return desk_.files; }
    platform::ProgramStarter& programs() { return desk_.programs; }
    platform::MediaControl& media() { return desk_.media; }
    platform::Autostart& autostart() { return desk_.autostart; }

    // Paths on this backend's file system: a readable file, a folder, nothing, a program.
    std::string readableFile() {
        desk_.files.addReadableFile("/home/user/alarm.alm");
        return "/home/user/alarm.alm";
    }
    std::string folder() { return "/home/user"; }
    std::string specialFile() {
        desk_.files.addSpecialFile("/home/user/pipe.alm");
        return "/home/user/pipe.alm";
    }
    void makeReadOnly(const std::string& path) {
        desk_.files.addFile(path, {.bytes = desk_.files.contents(path).value_or(""), .writable = false});
    }
    std::string missingPath() { return "/home/user/gone.alm"; }
    std::string program() {
        desk_.files.addProgramFile("/usr/bin/editor");
        return "/usr/bin/editor";
    }

    void show(platform::Window& w) { w.show(); }
    bool activate(platform::Window& w);
    void wait(int ms) { desk_.loop.advance(ms); }
    bool waitUntil(const std::function<bool()>& done, int timeoutMs);

    void click(platform::PictureButton& button, platform::MouseButton mb = platform::MouseButton::Left);
    void pressSpace();
    void choose(platform::MenuItem& item);
    bool markShown(platform::MenuItem& item) { return item.isChecked(); }
    void closeByBox(platform::Window& w);
    void pressMouse(platform::Window& w, platform::MouseButton mb, platform::Point at);
    void moveMouse(platform::Window& w, platform::Point at);
    void releaseMouse(platform::Window& w, platform::MouseButton mb, platform::Point at);
    void pressMouse(platform::Picture& picture, platform::MouseButton mb, platform::Point at);
    void moveMouse(platform::Picture& picture, platform::Point at);
    void releaseMouse(platform::Picture& picture, platform::MouseButton mb, platform::Point at);
    void clickLabel(platform::Label& label, platform::MouseButton mb, platform::Point at);
    void pressTray(TrayPress press);
    void answerNextBox(platform::MessageAnswer answer, int afterMs);
    void closeNextBox(int afterMs);

    void clickInto(platform::TextBox& box);
    void type(platform::TextBox& box, const std::string& text);
    void replaceText(platform::TextBox& box, const std::string& text);
    void click(platform::CommandButton& button);
    void click(platform::OptionButton& option);
    void clickLine(platform::ListBox& list, int index);
    void press(Key key);
    void pressAccessKey(char letter);
    void answerNextFileDialog(const std::string& path) { desk_.fileDialogs.setNextFileName(path); }
    std::string fileDialogStart() const {
        const auto& start = desk_.fileDialogs.started();
        return start.empty() ? std::string() : start.back().folder + "/" + start.back().name;
    }

private:
    platform::memory::MemoryPlatform desk_;
    int held_ = 0;
    std::deque<int> boxWaits_; // how long each box to come waits, in order
};

static_assert(BackendDriver<MemoryBackend>);

} // namespace kadrill::contract
