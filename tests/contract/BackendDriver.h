#pragma once

#include "platform/Application.h"
#include "platform/Clock.h"
#include "platform/Container.h"
#include "platform/FileDialogs.h"
#include "platform/MessageBoxes.h"
#include "platform/TrayIcon.h"
#include "platform/Window.h"

#include <concepts>
#include <functional>
#include <string>

namespace kadrill::contract {

/// How the user activates the notification-area icon.
enum class TrayPress { Left, Right, Middle, DoubleClick };

/// Keys the user presses in the active window, to whatever has the focus there.
enum class Key { Enter, Escape, Tab, BackTab, Up, Down, Menu, ShiftF10 };

/// What every backend driver offers: the services of one backend, and the things a user
/// does to them. Actions on something the user cannot see or reach do nothing; what the
/// backend makes of an action is for the test to check through the interfaces.
template <class B>
concept BackendDriver = requires(B b, platform::Window& w, platform::PictureButton& button, platform::Label& label,
                                 platform::Picture& picture, platform::MenuItem& item, platform::MouseButton mb,
                                 platform::Point at, platform::MessageAnswer answer, TrayPress press,
                                 const std::function<bool()>& done, int ms, platform::TextBox& box,
                                 platform::CommandButton& command, platform::OptionButton& option,
                                 platform::ListBox& list, Key key, const std::string& text, char letter) {
    { B::kName } -> std::convertible_to<const char*>;
    // Between the names of the paths the backend's file dialogs give back.
    { B::kPathSeparator } -> std::convertible_to<char>;
    { b.windows() } -> std::same_as<platform::WindowSystem&>;
    { b.tray() } -> std::same_as<platform::TrayIcon&>;
    { b.messages() } -> std::same_as<platform::MessageBoxes&>;
    { b.clock() } -> std::same_as<platform::Clock&>;
    { b.app() } -> std::same_as<platform::Application&>;
    { b.fileDialogs() } -> std::same_as<platform::FileDialogs&>;

    // Shows or activates the window and waits until the window system has done it;
    // activate is false when the window did not become active.
    b.show(w);
    { b.activate(w) } -> std::same_as<bool>;
    // Lets time pass with events handled; waitUntil stops early once done() holds.
    b.wait(ms);
    { b.waitUntil(done, ms) } -> std::same_as<bool>;

    // A press and release of a mouse button over the middle of the button.
    b.click(button, mb);
    // The Space key, to whatever has the keyboard focus.
    b.pressSpace();
    // Opens the item's menu and picks the item.
    b.choose(item);
    // The check mark the user sees beside the item.
    { b.markShown(item) } -> std::same_as<bool>;
    b.closeByBox(w);
    // The mouse over a window's bare client area or a picture, at twips from its top-left.
    b.pressMouse(w, mb, at);
    b.moveMouse(w, at);
    b.releaseMouse(w, mb, at);
    b.pressMouse(picture, mb, at);
    b.moveMouse(picture, at);
    b.releaseMouse(picture, mb, at);
    // A press and release over a label, at twips from its top-left.
    b.clickLabel(label, mb, at);
    b.pressTray(press);
    // The next message box shown is answered, or closed by its close box, once it has
    // waited the given milliseconds.
    b.answerNextBox(answer, ms);
    b.closeNextBox(ms);

    // A left click into the box.
    b.clickInto(box);
    // Puts the focus in the box and types the text at its end, character by character
    // (a backend may tell of each character as an edit of its own).
    b.type(box, text);
    // Selects everything in the box and types the text over it; an empty text deletes it.
    b.replaceText(box, text);
    // A left click on the button or option.
    b.click(command);
    b.click(option);
    // A left click on line `index` of the list.
    b.clickLine(list, ms);
    b.press(key);
    // Alt and the letter.
    b.pressAccessKey(letter);
    // The next file dialog shown gets this path typed in and accepted; an empty path
    // cancels it instead.
    b.answerNextFileDialog(text);
    // Where the last file dialog so answered started: its folder, "/", and the name filled in.
    { b.fileDialogStart() } -> std::same_as<std::string>;
};

} // namespace kadrill::contract
