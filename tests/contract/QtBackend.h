#pragma once

#include "BackendDriver.h"
#include "platform/posix/SystemClock.h"
#include "platform/qt/QtApplication.h"
#include "platform/qt/QtAutostart.h"
#include "platform/qt/FirstUseMediaControl.h"
#include "platform/qt/QtDispatcher.h"
#include "platform/qt/QtFileDialogs.h"
#include "platform/qt/QtFileSystem.h"
#include "platform/qt/QtMessageBoxes.h"
#include "platform/qt/QtProgramStarter.h"
#include "platform/qt/QtTrayIcon.h"
#include "platform/qt/QtWindowSystem.h"

#include <QObject>
#include <QTemporaryDir>

#include <memory>

class QWidget;

namespace kadrill::contract {

/// The Qt desktop, worked through QTest on the real widgets. Mouse and keys go in at the
/// top-level window, so Qt itself finds the widget under the pointer or with the focus,
/// as it does for a person. Needs the QApplication that main() makes.
class QtBackend {
public:
    static constexpr const char* kName = "Qt";
    static constexpr char kPathSeparator = '/';

    QtBackend();
    ~QtBackend();
    QtBackend(const QtBackend&) = delete;
    QtBackend& operator=(const QtBackend&) = delete;

    platform::WindowSystem& windows() { return windows_; }
    platform::TrayIcon& tray() { return tray_; }
    platform::MessageBoxes& messages() { return messages_; }
    platform::Clock& clock() { return clock_; }
    platform::Application& app() { return app_; }
    platform::FileDialogs& fileDialogs() { return fileDialogs_; }
    platform::FileSystem& files() { return files_; }
    platform::ProgramStarter& programs() { return programs_; }
    /// The program's sound control, with the module the build made.
    platform::MediaControl& media() { return media_; }
    /// Under a config folder of the backend's own (XDG_CONFIG_HOME while it lives).
    platform::Autostart& autostart() { return autostart_; }

    // Paths on the real file system: a readable file, a folder, nothing, a program.
    std::string readableFile();
    std::string folder();
    std::string missingPath();
    std::string program() { return "/bin/true"; }
    // A named pipe; and the file at `path` made read-only for everyone.
    std::string specialFile();
    void makeReadOnly(const std::string& path);

    void show(platform::Window& w);
    bool activate(platform::Window& w);
    void wait(int ms);
    bool waitUntil(const std::function<bool()>& done, int timeoutMs);

    void click(platform::PictureButton& button, platform::MouseButton mb = platform::MouseButton::Left);
    void pressSpace();
    void choose(platform::MenuItem& item);
    bool markShown(platform::MenuItem& item);
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
    void answerNextFileDialog(const std::string& path);
    std::string fileDialogStart() const { return fileDialogStart_; }

private:
    enum class MouseAction { Press, Move, Release, Click };
    void mouse(MouseAction action, QWidget* widget, platform::MouseButton mb, QPoint pixel);
    void mouseAt(MouseAction action, QWidget* widget, platform::MouseButton mb, platform::Point twips);
    void whenBoxShown(int afterMs, std::function<void(QWidget* box)> act);
    /// Runs `act` on the next modal window of that kind once it is up.
    void whenModalShown(const std::function<bool(QWidget*)>& isKind, int afterMs,
                        std::function<void(QWidget* box)> act);
    /// The line edit of a text box, with the focus in it, its window active; null when the
    /// user could not reach it.
    QWidget* focusedBox(platform::TextBox& box);

    platform::qt::QtDispatcher dispatcher_;
    platform::qt::QtWindowSystem windows_{dispatcher_};
    platform::qt::QtTrayIcon tray_{dispatcher_};
    platform::qt::QtMessageBoxes messages_;
    platform::posix::SystemClock clock_;
    platform::qt::QtApplication app_{dispatcher_};
    platform::qt::QtFileDialogs fileDialogs_;
    std::string fileDialogStart_;
    platform::qt::QtFileSystem files_;
    platform::qt::QtProgramStarter programs_;
    platform::qt::FirstUseMediaControl media_{{}, qEnvironmentVariable("KADRILL_SOUND_MODULE")};
    QTemporaryDir scratch_;
    QByteArray configHome_;
    platform::qt::QtAutostart autostart_;
    // Parent of the timers that answer message boxes; they die with the backend.
    std::unique_ptr<QObject> boxAnswerers_;
};

static_assert(BackendDriver<QtBackend>);

} // namespace kadrill::contract
