#pragma once

#include "Controls.h"
#include "Event.h"
#include "MessageBoxes.h"
#include "Window.h"

#include <string>

namespace kadrill::platform {

/// What the program hands to the notification area for its icon.
struct NotifyIconRecord {
    int id = 1;
    /// The text shown when the pointer rests on the icon.
    std::string tip;
    std::string icon;
};

/// What the user asked of the icon.
enum class TrayActivation {
    Activated,        ///< the icon's plain click (the left button)
    ContextRequested, ///< the icon's context click (the right button)
};

/// The program's icon in the notification area of the desktop.
class TrayIcon {
public:
    TrayIcon() = default;
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;
    virtual ~TrayIcon() = default;

    /// Adds the icon; false when the desktop has no notification area now. The icon is
    /// kept all the same and appears when a notification area does.
    virtual bool add(const NotifyIconRecord& record) = 0;
    /// Removes the icon added with the same record; false when none was added.
    virtual bool remove(const NotifyIconRecord& record) = 0;
    /// Whether the desktop has a notification area at this moment to show an icon in.
    virtual bool isAvailable() const = 0;
    /// Shows a passing message at the icon; false where the desktop cannot (no icon, no
    /// notification area), and the caller tells the user another way.
    virtual bool showMessage(const std::string& title, const std::string& text, MessageIcon icon) = 0;

    /// The menu the icon offers where the notification area shows an icon's menu by itself
    /// (a StatusNotifierItem panel, which opens it at the icon): an item of the icon's own,
    /// `caption`, then the items `menu` has now, the same items kept in step. Some panels
    /// give an icon no plain click, so the own item is the program's way to what a click
    /// does. Elsewhere the area leaves the menu to the program and reports the context
    /// click. Returns the icon's own item.
    virtual MenuItem& offerMenu(Menu& menu, const std::string& caption) = 0;

    /// Raised when the user clicks the icon or asks for its context menu; other clicks
    /// (the middle button, a double click) raise nothing.
    Event<TrayActivation> activated;
    /// Raised when a notification area appears or goes away.
    Event<> availabilityChanged;
};

} // namespace kadrill::platform
