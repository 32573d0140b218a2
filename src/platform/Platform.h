#pragma once

namespace kadrill::platform {

class Application;
class Autostart;
class Clock;
class FileDialogs;
class FileSystem;
class Help;
class KeySender;
class MediaControl;
class MessageBoxes;
class ProgramStarter;
class SystemTimeSetter;
class TrayIcon;
class WindowSystem;

/// The desktop services the program's logic runs on. main() fills it with the real
/// backends, tests with the in-memory ones.
struct Platform {
    WindowSystem& windows;
    Clock& clock;
    TrayIcon& tray;
    MediaControl& media;
    MessageBoxes& messages;
    Help& help;
    Application& app;
    FileSystem& files;
    FileDialogs& fileDialogs;
    ProgramStarter& programs;
    KeySender& keys;
    SystemTimeSetter& timeSetter;
    Autostart& autostart;
};

} // namespace kadrill::platform
