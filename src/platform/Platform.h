#pragma once

namespace kadrill::platform {

class Application;
class Clock;
class Help;
class MediaControl;
class MessageBoxes;
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
};

} // namespace kadrill::platform
