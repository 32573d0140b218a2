#pragma once

#include "Win32Accessible.h"
#include "Win32Geometry.h"
#include "Win32Host.h"
#include "Win32Surface.h"
#include "platform/Container.h"

#include <memory>
#include <vector>

namespace kadrill::platform::win32 {

class Win32Label;
class Win32PictureButton;
class Win32Frame;
class Win32Picture;
class Win32TextBox;
class Win32CommandButton;
class Win32OptionButton;
class Win32ListBox;

/// The controls of one container: child windows of its host, lines on its surface.
class Win32ControlHost {
public:
    Win32ControlHost(Win32Host& host, Win32Surface& surface);
    ~Win32ControlHost();

    LineShape& addLine(const LineProperties& props) { return surface_.addLine(props); }
    Label& addLabel(const LabelProperties& props);
    PictureButton& addPictureButton(const PictureButtonProperties& props);
    Frame& addFrame(const FrameProperties& props);
    Picture& addPicture(const PictureProperties& props);
    TextBox& addTextBox(const TextBoxProperties& props);
    CommandButton& addCommandButton(const CommandButtonProperties& props);
    OptionButton& addOptionButton(const OptionButtonProperties& props);
    ListBox& addListBox(const ListBoxProperties& props);

    /// Every child takes the DPI's place and fonts.
    void applyDpi(int dpi);
    /// The container was enabled or disabled: so are the children, as their own settings allow.
    void hostEnabledChanged();

private:
    Win32Host& host_;
    Win32Surface& surface_;
    std::vector<Win32OptionButton*> options_;
    // Children in the order made, which is their order on top of each other.
    std::vector<std::unique_ptr<Win32Child>> children_;
};

/// A container whose controls live in a host: the part every container shares.
template <class Interface> class Win32HostedContainer : public Interface {
public:
    LineShape& addLine(const LineProperties& props) override { return controls_->addLine(props); }
    Label& addLabel(const LabelProperties& props) override { return controls_->addLabel(props); }
    PictureButton& addPictureButton(const PictureButtonProperties& props) override {
        return controls_->addPictureButton(props);
    }
    Frame& addFrame(const FrameProperties& props) override { return controls_->addFrame(props); }
    Picture& addPicture(const PictureProperties& props) override { return controls_->addPicture(props); }
    TextBox& addTextBox(const TextBoxProperties& props) override { return controls_->addTextBox(props); }
    CommandButton& addCommandButton(const CommandButtonProperties& props) override {
        return controls_->addCommandButton(props);
    }
    OptionButton& addOptionButton(const OptionButtonProperties& props) override {
        return controls_->addOptionButton(props);
    }
    ListBox& addListBox(const ListBoxProperties& props) override { return controls_->addListBox(props); }

protected:
    std::unique_ptr<Win32ControlHost> controls_;
};

/// A child container window of ours (a frame or a picture): a host for its own children,
/// painted by its surface, a child of its own host.
class Win32ChildContainer : public Win32Child, public Win32Host {
public:
    Win32ChildContainer(Win32Host& host, const Rect& bounds, bool visible);
    HWND hostWindow() const override { return hwnd_; }
    int dpi() const override { return host_.dpi(); }
    bool shownWithin() const override { return Win32Child::shownWithin(); }
    Win32WindowControls& windowControls() override { return host_.windowControls(); }
    Win32Dispatcher& dispatcher() override { return host_.dispatcher(); }
    void requestFocus(HWND control) override { host_.requestFocus(control); }
    HWND toolTips() override { return host_.toolTips(); }
    void applyDpi(int dpi) override;
    void hostEnabledChanged() override { childControls_->hostEnabledChanged(); }

protected:
    /// Makes the window; `surface` paints it.
    void create(Win32Surface& surface, Win32ControlHost& controls);
    /// A message for the window; the default handles painting and the children's notifications.
    virtual LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam);
    /// Paints what the host shows beneath this container, in this container's coordinates.
    void paintHostGround(HDC dc, const RECT& area);
    void setShown(bool shown);

    bool visible_;
    Win32Surface* paintSurface_ = nullptr;
    Win32ControlHost* childControls_ = nullptr;

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
};

/// A captioned border around a group of controls; it shows its host's ground.
class Win32Frame final : public Win32HostedContainer<Frame>, public Win32ChildContainer {
public:
    Win32Frame(Win32Host& host, const FrameProperties& props);
    ~Win32Frame() override;
    void setVisible(bool visible) override { setShown(visible); }
    bool isVisible() const override { return visible_; }
    void setEnabled(bool enabled) override;
    bool isEnabled() const override { return enabled_; }
    bool enabledWithin() const override { return enabled_ && host_.enabledWithin(); }
    void paintGround(HDC dc, const RECT& area) override;
    void applyDpi(int dpi) override;

private:
    LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void paintFrame(HDC dc);

    std::wstring caption_;
    bool enabled_;
    GdiObject<HFONT> font_;
    Win32Surface surface_;
};

/// A rectangle with a colour or a picture, a persistent drawing, mouse events of its own
/// (kept while a button is held) and controls inside.
class Win32Picture final : public Win32HostedContainer<Picture>, public Win32ChildContainer {
public:
    Win32Picture(Win32Host& host, const PictureProperties& props);
    ~Win32Picture() override;
    void setVisible(bool visible) override { setShown(visible); }
    bool isVisible() const override { return visible_; }
    void drawPoint(PointF at, Color color) override;
    void drawCircle(PointF centre, float radius, Color color) override;
    void clearDrawing() override { surface_.clearDrawing(); }
    std::vector<DrawnMark> drawing() const override { return surface_.drawing(); }
    void setAccessibleText(const AccessibleText& text) override;
    AccessibleText accessibleText() const override { return accessible_.text(); }
    bool enabledWithin() const override { return host_.enabledWithin(); }
    void paintGround(HDC dc, const RECT& area) override { surface_.paint(dc, area, dpi()); }

private:
    LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam) override;

    Win32Surface surface_;
    AccessibleWords accessible_;
};

/// A mouse message's pointer, buttons and position as the program's event.
MouseEvent mouseEventOf(HWND hwnd, MouseButton button, WPARAM wParam, LPARAM lParam);

/// Mouse messages of a client area as the program's events: positions in twips, the
/// pointer captured while a button is held. True when the message was one of them.
bool deliverMouse(Win32Dispatcher& dispatcher, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                  Event<MouseEvent>& down, Event<MouseEvent>& move, Event<MouseEvent>& up);

} // namespace kadrill::platform::win32
