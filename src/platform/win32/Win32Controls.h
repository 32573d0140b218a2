#pragma once

#include "Win32Accessible.h"
#include "Win32Geometry.h"
#include "Win32Host.h"
#include "Win32WindowControls.h"
#include "platform/Container.h"

#include <windows.h>

#include <string>
#include <vector>

namespace kadrill::platform::win32 {

struct PictureBitmap;

/// A standard control window (BUTTON, EDIT, LISTBOX) whose messages pass by us first.
class Win32Subclassed : public Win32Child {
public:
    using Win32Child::Win32Child;
    ~Win32Subclassed() override;

protected:
    /// Makes the control; its messages come to filter() from then on.
    void create(const wchar_t* className, const std::wstring& text, DWORD style, DWORD exStyle = 0);
    /// True when the message is handled here, with its result.
    virtual bool filter(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
    /// The control's own handling of a message.
    LRESULT original(UINT msg, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK subclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data);
};

/// A caption on a transparent background: it paints what its container shows beneath it,
/// then the text. It takes every mouse press over it, enabled or not.
class Win32Label final : public Label, public Win32Child {
public:
    Win32Label(Win32Host& host, const LabelProperties& props);
    void setVisible(bool visible) override;
    bool isVisible() const override { return visible_; }
    void setText(const std::string& text) override;
    std::string text() const override { return text_; }
    void setPosition(Point topLeft) override;
    Point position() const override { return {bounds_.left, bounds_.top}; }
    void setForeColor(Color color) override;
    Color foreColor() const override { return color_; }
    void setEnabled(bool enabled) override;
    bool isEnabled() const override { return enabled_; }
    void setAccessibleText(const AccessibleText& text) override;
    AccessibleText accessibleText() const override { return accessible_.text(); }
    void applyDpi(int dpi) override;
    /// Greyed inside a disabled frame too.
    void hostEnabledChanged() override { ::InvalidateRect(hwnd_, nullptr, FALSE); }

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam);
    void paint();
    void mousePress(MouseButton button, WPARAM wParam, LPARAM lParam);

    std::string text_;
    std::string fontName_;
    double fontPoints_;
    GdiObject<HFONT> font_;
    Color color_;
    bool visible_;
    bool enabled_;
    AccessibleWords accessible_;
};

/// A push button drawn entirely by its picture, with a pressed and a focus look. Presses
/// of other buttons than the left one are taken and ignored.
class Win32PictureButton final : public PictureButton, public Win32Subclassed, public Win32KeyTarget {
public:
    Win32PictureButton(Win32Host& host, const PictureButtonProperties& props, HWND toolTips);
    ~Win32PictureButton() override;
    void setVisible(bool visible) override;
    bool isVisible() const override { return visible_; }
    void setFocus() override;
    bool hasFocus() const override { return ::GetFocus() == hwnd_; }

    Kind kind() const override { return Kind::PictureButton; }
    HWND keyWindow() const override { return hwnd_; }
    bool usable() const override { return shownWithin() && host_.enabledWithin(); }
    void hostEnabledChanged() override;
    void onCommand(WORD code) override;
    void onDrawItem(const DRAWITEMSTRUCT& item) override;

private:
    bool filter(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    const PictureBitmap* picture_;
    HWND toolTips_;
    bool visible_;
};

/// What the text boxes, command and option buttons and lists share.
template <class Interface> class Win32Input : public Interface, public Win32Subclassed, public Win32KeyTarget {
public:
    void setVisible(bool visible) override {
        visible_ = visible;
        if (!visible) {
            dropFocusWithin(hwnd_);
        }
        ::ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
    }
    bool isVisible() const override { return visible_; }
    void setEnabled(bool enabled) override {
        enabled_ = enabled;
        hostEnabledChanged();
    }
    bool isEnabled() const override { return enabled_; }
    void setFocus() override;
    bool hasFocus() const override { return ::GetFocus() == hwnd_; }

    HWND keyWindow() const override { return hwnd_; }
    bool usable() const override { return enabled_ && host_.enabledWithin() && shownWithin(); }
    void hostEnabledChanged() override {
        const bool effective = enabled_ && host_.enabledWithin();
        if (!effective) {
            dropFocusWithin(hwnd_);
        }
        ::EnableWindow(hwnd_, effective ? TRUE : FALSE);
    }

protected:
    Win32Input(Win32Host& host, const Rect& bounds, bool enabled, bool visible)
        : Win32Subclassed(host, bounds), enabled_(enabled), visible_(visible) {}
    /// The style bits every input control has.
    DWORD commonStyle() const { return WS_CHILD | WS_CLIPSIBLINGS | (visible_ ? WS_VISIBLE : 0); }
    /// After the window is made: its font, its enabled state, and the keys by the window.
    void finish(int tabIndex, HFONT font);
    /// Keys first to the window's handling (Tab, Enter, Escape, access keys).
    bool filterKeys(UINT msg, WPARAM wParam);

    bool enabled_;
    bool visible_;
};

class Win32TextBox final : public Win32Input<TextBox> {
public:
    Win32TextBox(Win32Host& host, const TextBoxProperties& props);
    ~Win32TextBox() override;
    void setText(const std::string& text) override;
    std::string text() const override;
    void setMaxLength(int characters) override { maxLength_ = std::max(0, characters); }
    int maxLength() const override { return maxLength_; }

    Kind kind() const override { return Kind::TextBox; }
    bool keepsEnter() const override { return keepsEnter_; }
    void onCommand(WORD code) override;
    void applyDpi(int dpi) override;

private:
    bool filter(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    std::wstring currentText() const;

    std::string fontName_;
    double fontPoints_;
    GdiObject<HFONT> font_;
    int maxLength_;
    bool keepsEnter_;
    /// The text the program last heard of, typed or set.
    std::wstring known_;
    /// The program is setting the text: the notification is not the user's.
    bool setting_ = false;
};

class Win32CommandButton final : public Win32Input<CommandButton> {
public:
    Win32CommandButton(Win32Host& host, const CommandButtonProperties& props);
    ~Win32CommandButton() override;
    Kind kind() const override { return Kind::CommandButton; }
    wchar_t accessKey() const override { return accessKey_; }
    void pressByKey() override;
    bool isDefault() const override { return default_; }
    bool isCancel() const override { return cancel_; }
    void onCommand(WORD code) override;
    void applyDpi(int dpi) override;

private:
    bool filter(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    GdiObject<HFONT> font_;
    wchar_t accessKey_;
    bool default_;
    bool cancel_;
};

class Win32OptionButton final : public Win32Input<OptionButton> {
public:
    Win32OptionButton(Win32Host& host, const OptionButtonProperties& props, std::vector<Win32OptionButton*>& group);
    ~Win32OptionButton() override;
    void setChecked(bool checked) override;
    bool isChecked() const override;

    Kind kind() const override { return Kind::OptionButton; }
    wchar_t accessKey() const override { return accessKey_; }
    void pressByKey() override;
    const void* group() const override { return &group_; }
    void onCommand(WORD code) override;
    void applyDpi(int dpi) override;

private:
    bool filter(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void select();

    std::vector<Win32OptionButton*>& group_;
    GdiObject<HFONT> font_;
    wchar_t accessKey_;
    /// The button is taking the focus: the click it tells of then is no user's choice.
    bool focusing_ = false;
};

class Win32ListBox final : public Win32Input<ListBox> {
public:
    Win32ListBox(Win32Host& host, const ListBoxProperties& props);
    ~Win32ListBox() override;
    void addItem(const std::string& text) override { insertItem(count(), text); }
    void insertItem(int index, const std::string& text) override;
    void removeItem(int index) override;
    void clear() override;
    int count() const override { return static_cast<int>(items_.size()); }
    std::string item(int index) const override;
    int currentIndex() const override { return reported_; }
    void setCurrentIndex(int index) override;

    Kind kind() const override { return Kind::ListBox; }
    void onCommand(WORD code) override;
    void applyDpi(int dpi) override;

private:
    bool filter(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    /// After the user's change: tells of it when another line (or none) is selected now.
    void userSelection();

    GdiObject<HFONT> font_;
    std::vector<std::string> items_;
    int reported_ = -1;
};

/// The letter after the "&" of a caption ("&&" is a plain "&"), upper case; 0 for none.
wchar_t accessKeyOf(const std::wstring& caption);

} // namespace kadrill::platform::win32
