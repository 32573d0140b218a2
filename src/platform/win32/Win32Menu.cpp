#include "Win32Menu.h"

#include "Text.h"
#include "Win32Window.h"

namespace kadrill::platform::win32 {

Win32MenuItem::Win32MenuItem(HWND owner, HMENU menu, UINT id, bool separator)
    : owner_(owner), menu_(menu), id_(id), separator_(separator) {}

void Win32MenuItem::setChecked(bool checked) {
    checked_ = checked;
    ::CheckMenuItem(menu_, id_, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void Win32MenuItem::setEnabled(bool enabled) {
    enabled_ = enabled;
    ::EnableMenuItem(menu_, id_, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

MenuItem& Win32Menu::addItem(const std::string& caption, MenuItemKind /*kind*/) {
    // A check item differs only in that the program sets its mark.
    const UINT id = window_.newMenuId();
    ::AppendMenuW(menu_, MF_STRING, id, wide(caption).c_str());
    items_.push_back(std::make_unique<Win32MenuItem>(window_.hwnd(), menu_, id, false));
    return *items_.back();
}

MenuItem& Win32Menu::addSeparator() {
    const UINT id = window_.newMenuId();
    ::AppendMenuW(menu_, MF_SEPARATOR, id, nullptr);
    items_.push_back(std::make_unique<Win32MenuItem>(window_.hwnd(), menu_, id, true));
    return *items_.back();
}

void Win32Menu::popupAtPointer() { window_.popUp(*this); }

Win32MenuItem* Win32Menu::item(UINT id) const {
    for (const auto& item : items_) {
        if (item->id() == id) {
            return item.get();
        }
    }
    return nullptr;
}

} // namespace kadrill::platform::win32
