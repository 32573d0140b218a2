#pragma once

#include <windows.h>

#include <functional>
#include <vector>

namespace kadrill::platform::win32 {

/// A control the keyboard reaches: by Tab, by its access key, by Enter or Escape.
class Win32KeyTarget {
public:
    enum class Kind { PictureButton, TextBox, CommandButton, OptionButton, ListBox };

    Win32KeyTarget() = default;
    Win32KeyTarget(const Win32KeyTarget&) = delete;
    Win32KeyTarget& operator=(const Win32KeyTarget&) = delete;
    virtual ~Win32KeyTarget() = default;

    virtual Kind kind() const = 0;
    virtual HWND keyWindow() const = 0;
    /// Shown and enabled, by its own settings and those of every container around it.
    virtual bool usable() const = 0;
    /// The letter after "&" in its caption, upper case; 0 for none.
    virtual wchar_t accessKey() const { return 0; }
    /// What its access key, Enter or Escape does: a button clicks, an option is selected.
    virtual void pressByKey() {}
    virtual bool keepsEnter() const { return false; }
    virtual bool isDefault() const { return false; }
    virtual bool isCancel() const { return false; }
    /// Options of one container form a group; this names it.
    virtual const void* group() const { return nullptr; }
    virtual bool isChecked() const { return false; }
};

/// What the controls of one window share, wherever they lie in it: the tab order, and the
/// buttons that Enter, Escape and the access keys press. Keys reach it from every control
/// (and the window itself) before the control's own handling, in whatever loop they come.
class Win32WindowControls {
public:
    /// Tab visits the controls by ascending index, across frames and pictures; equal
    /// indexes in the order the controls were made.
    void add(Win32KeyTarget* target, int tabIndex);
    void remove(Win32KeyTarget* target);

    /// A key message for `focus` (a control, or null for the window itself); true when the
    /// window takes it, and the control must not.
    bool takeKey(Win32KeyTarget* focus, UINT msg, WPARAM wParam);

    /// Moves the focus to the next or previous usable control in tab order.
    void tab(Win32KeyTarget* from, bool backwards);

    /// The Menu key or Shift+F10 that no control took: the window's context menu is asked for.
    std::function<void()> contextMenuKey;

private:
    struct Stop {
        int tabIndex;
        Win32KeyTarget* target;
    };
    bool reachableByTab(const Win32KeyTarget* target) const;
    bool enter(Win32KeyTarget* focus);
    bool escape();
    bool arrow(Win32KeyTarget* focus, bool backwards);
    bool accessKey(wchar_t letter);

    std::vector<Stop> stops_;
    /// The key whose press was taken for the context menu: its release is taken too, or
    /// Windows would open the menu bar (F10) or ask for the context menu again (Menu key).
    WPARAM takenKey_ = 0;
};

/// The key messages a window's controls hand to takeKey() first.
inline bool isKeyMessage(UINT msg) {
    return msg == WM_KEYDOWN || msg == WM_KEYUP || msg == WM_SYSKEYDOWN || msg == WM_SYSKEYUP || msg == WM_CHAR ||
           msg == WM_SYSCHAR;
}

/// Gives the control the focus as the keyboard does: a text box's text is selected.
void focusByKey(Win32KeyTarget& target);

} // namespace kadrill::platform::win32
