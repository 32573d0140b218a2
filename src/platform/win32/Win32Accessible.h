#pragma once

#include "platform/Controls.h"

#include <windows.h>

#include <memory>

namespace kadrill::platform::win32 {

/// The words a screen reader reads of a window the program words itself: the name and the
/// description of its client area. Windows' own accessible object serves for the rest
/// (role, place, state, children); these two are put in front of it.
class AccessibleWords {
public:
    const AccessibleText& text() const { return *text_; }
    /// Sets the words; screen readers hear of each that changed.
    void set(HWND hwnd, const AccessibleText& text);
    /// Answers WM_GETOBJECT for the client area; false when Windows' own answer serves.
    bool answer(HWND hwnd, WPARAM wParam, LPARAM lParam, LRESULT& result) const;

private:
    // Shared with the objects handed out: a screen reader may hold one after the window
    // has gone, and reads the words as they are now, not as they were when it asked.
    std::shared_ptr<AccessibleText> text_ = std::make_shared<AccessibleText>();
};

} // namespace kadrill::platform::win32
