#pragma once

#include "platform/Window.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace kadrill::platform::win32 {

class Win32Window;

class Win32MenuItem final : public MenuItem {
public:
    Win32MenuItem(HWND owner, HMENU menu, UINT id, bool separator);
    /// The check mark changes only here: Windows leaves it alone when the item is chosen.
    void setChecked(bool checked) override;
    bool isChecked() const override { return checked_; }
    void setEnabled(bool enabled) override;
    bool isEnabled() const override { return enabled_; }

    /// Chosen by the user: a separator or a disabled item takes no choice.
    bool choosable() const { return enabled_ && !separator_; }
    HWND owner() const { return owner_; }
    HMENU menu() const { return menu_; }
    UINT id() const { return id_; }

private:
    HWND owner_;
    HMENU menu_;
    UINT id_;
    bool separator_;
    bool checked_ = false;
    bool enabled_ = true;
};

/// A drop-down menu of a window's menu bar, which may also pop up at the pointer.
class Win32Menu final : public Menu {
public:
    Win32Menu(Win32Window& window, HMENU menu) : window_(window), menu_(menu) {}
    MenuItem& addItem(const std::string& caption, MenuItemKind kind) override;
    MenuItem& addSeparator() override;
    void popupAtPointer() override;

    HMENU menu() const { return menu_; }
    /// The item of that command id, or null.
    Win32MenuItem* item(UINT id) const;

private:
    Win32Window& window_;
    HMENU menu_;
    std::vector<std::unique_ptr<Win32MenuItem>> items_;
};

} // namespace kadrill::platform::win32
