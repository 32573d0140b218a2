#include "QtBackend.h"
#include "WindowManagerView.h"

#include <QFile>

#include "platform/qt/QtContainer.h"
#include "platform/qt/QtControls.h"
#include "platform/qt/QtConvert.h"
#include "platform/qt/QtSurface.h"
#include "platform/qt/QtWindow.h"

#include <cctype>

#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <QWindow>

namespace kadrill::contract {

using namespace platform;

namespace {

// Checked this often for a message box to appear.
constexpr int kBoxPollMs = 5;

platform::qt::QtWindow& qtOf(Window& w) { return dynamic_cast<platform::qt::QtWindow&>(w); }

Qt::MouseButton toQt(MouseButton mb) {
    switch (mb) {
    case MouseButton::Left:
        return Qt::LeftButton;
    case MouseButton::Right:
        return Qt::RightButton;
    case MouseButton::Middle:
        return Qt::MiddleButton;
    case MouseButton::None:
        break;
    }
    return Qt::NoButton;
}

QMessageBox::ButtonRole roleOf(MessageAnswer answer) {
    switch (answer) {
    case MessageAnswer::Ok:
        return QMessageBox::AcceptRole;
    case MessageAnswer::Cancel:
        return QMessageBox::RejectRole;
    case MessageAnswer::Yes:
        return QMessageBox::YesRole;
    case MessageAnswer::No:
        return QMessageBox::NoRole;
    }
    return QMessageBox::InvalidRole;
}

} // namespace

QtBackend::QtBackend() : configHome_(qgetenv("XDG_CONFIG_HOME")), boxAnswerers_(std::make_unique<QObject>()) {
    // Never the user's own autostart folder.
    qputenv("XDG_CONFIG_HOME", scratch_.filePath(QStringLiteral("config")).toLocal8Bit());
}

std::string QtBackend::readableFile() {
    const QString path = scratch_.filePath(QStringLiteral("alarm.alm"));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("#07:30:00#\r\n");
    return path.toStdString();
}

std::string QtBackend::specialFile() {
    const std::string pipe = scratch_.filePath(QStringLiteral("pipe.alm")).toStdString();
    ::mkfifo(pipe.c_str(), 0600);
    return pipe;
}

void QtBackend::makeReadOnly(const std::string& path) { ::chmod(path.c_str(), 0444); }

std::string QtBackend::folder() { return scratch_.path().toStdString(); }

std::string QtBackend::missingPath() { return scratch_.filePath(QStringLiteral("gone.alm")).toStdString(); }

QtBackend::~QtBackend() {
    boxAnswerers_.reset();
    // Widgets Qt deletes later (closed menus, boxes) go before the next test starts.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (configHome_.isNull()) {
        qunsetenv("XDG_CONFIG_HOME");
    } else {
        qputenv("XDG_CONFIG_HOME", configHome_);
    }
}

void QtBackend::show(Window& w) {
    w.show();
    QWidget* widget = qtOf(w).widget();
    (void)QTest::qWaitForWindowExposed(widget);
    // A real window manager frames the window after it maps, as a user's would: wait for
    // the frame, or a position read now is the client area's.
    if (QGuiApplication::platformName() != QLatin1String("offscreen") &&
        !widget->windowFlags().testFlag(Qt::FramelessWindowHint)) {
        (void)QTest::qWaitFor([widget] { return widget->frameGeometry() != widget->geometry(); }, 2000);
    }
    // The backend may still move the window to where it was placed once framed; the mouse
    // goes in by Qt's idea of where the window is, so wait until Qt has heard of the move.
    platform::qt::QtWindow& window = qtOf(w);
    (void)QTest::qWaitFor([&window] { return !window.placementPending(); }, 2000);
    // Openbox gives a new window the focus a moment after it maps; a test that activates
    // another window meanwhile would have it taken back.
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
        (void)QTest::qWaitForWindowActive(widget, 1000);
    }
}

bool QtBackend::activate(Window& w) {
    w.activate();
    QWidget* widget = qtOf(w).widget();
    if (!QTest::qWaitForWindowActive(widget)) {
        return false;
    }
    // Qt calls a window active at the first focus it gets; a window manager may still be
    // handing the focus over and take it back for a moment. Done once it names the window
    // itself, and Qt still agrees.
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        const auto id = static_cast<unsigned long>(widget->winId());
        return QTest::qWaitFor([&] { return wmActiveWindow() == id && widget->isActiveWindow(); });
    }
    return true;
}

void QtBackend::wait(int ms) { QTest::qWait(ms); }

bool QtBackend::waitUntil(const std::function<bool()>& done, int timeoutMs) { return QTest::qWaitFor(done, timeoutMs); }

void QtBackend::mouse(MouseAction action, QWidget* widget, MouseButton mb, QPoint pixel) {
    QWidget* top = widget->window();
    QWindow* handle = top->windowHandle();
    if (!top->isVisible() || handle == nullptr) {
        return; // nothing on screen to point at
    }
    const QPoint at = widget->mapTo(top, pixel);
    switch (action) {
    case MouseAction::Press:
        QTest::mousePress(handle, toQt(mb), {}, at);
        break;
    case MouseAction::Move:
        QTest::mouseMove(handle, at);
        break;
    case MouseAction::Release:
        QTest::mouseRelease(handle, toQt(mb), {}, at);
        break;
    case MouseAction::Click:
        QTest::mouseClick(handle, toQt(mb), {}, at);
        break;
    }
}

void QtBackend::mouseAt(MouseAction action, QWidget* widget, MouseButton mb, Point twips) {
    mouse(action, widget, mb, QPoint(platform::qt::toPixels(twips.x), platform::qt::toPixels(twips.y)));
}

void QtBackend::click(PictureButton& button, MouseButton mb) {
    QWidget* widget = dynamic_cast<platform::qt::QtPictureButton&>(button).widget();
    mouse(MouseAction::Click, widget, mb, widget->rect().center());
}

void QtBackend::pressSpace() {
    if (QWindow* active = QGuiApplication::focusWindow()) {
        QTest::keyClick(active, Qt::Key_Space);
    }
}

void QtBackend::choose(MenuItem& item) {
    QAction* action = dynamic_cast<platform::qt::QtMenuItem&>(item).action();
    QMenu* menu = nullptr;
    for (QObject* o : action->associatedObjects()) {
        if ((menu = qobject_cast<QMenu*>(o)) != nullptr) {
            break;
        }
    }
    if (menu == nullptr) {
        return;
    }
    menu->popup(QPoint(0, 0));
    (void)QTest::qWaitForWindowExposed(menu);
    const QPoint at = menu->actionGeometry(action).center();
    QTest::mouseClick(menu, Qt::LeftButton, {}, at);
    // A choice closes the menu; one that took nothing leaves it open.
    menu->hide();
}

bool QtBackend::markShown(MenuItem& item) {
    return dynamic_cast<platform::qt::QtMenuItem&>(item).action()->isChecked();
}

void QtBackend::closeByBox(Window& w) {
    QWidget* top = qtOf(w).widget();
    if (top->isVisible() && top->windowHandle() != nullptr) {
        // What the window manager sends for a click on the close box.
        top->windowHandle()->close();
    }
}

void QtBackend::pressMouse(Window& w, MouseButton mb, Point at) {
    mouseAt(MouseAction::Press, qtOf(w).surface(), mb, at);
}

void QtBackend::moveMouse(Window& w, Point at) { mouseAt(MouseAction::Move, qtOf(w).surface(), MouseButton::None, at); }

void QtBackend::releaseMouse(Window& w, MouseButton mb, Point at) {
    mouseAt(MouseAction::Release, qtOf(w).surface(), mb, at);
}

void QtBackend::pressMouse(Picture& picture, MouseButton mb, Point at) {
    mouseAt(MouseAction::Press, dynamic_cast<platform::qt::QtPicture&>(picture).widget(), mb, at);
}

void QtBackend::moveMouse(Picture& picture, Point at) {
    mouseAt(MouseAction::Move, dynamic_cast<platform::qt::QtPicture&>(picture).widget(), MouseButton::None, at);
}

void QtBackend::releaseMouse(Picture& picture, MouseButton mb, Point at) {
    mouseAt(MouseAction::Release, dynamic_cast<platform::qt::QtPicture&>(picture).widget(), mb, at);
}

void QtBackend::clickLabel(Label& label, MouseButton mb, Point at) {
    mouseAt(MouseAction::Click, dynamic_cast<platform::qt::QtLabel&>(label).widget(), mb, at);
}

void QtBackend::pressTray(TrayPress press) {
    // As a user waits for the icon to appear: it may wait for the session bus's word.
    (void)waitUntil([this] { return tray_.icon() != nullptr; }, 2000);
    QSystemTrayIcon* icon = tray_.icon();
    if (icon == nullptr) {
        return; // no icon to press
    }
    switch (press) {
    case TrayPress::Left:
        Q_EMIT icon->activated(QSystemTrayIcon::Trigger);
        break;
    case TrayPress::Right:
        Q_EMIT icon->activated(QSystemTrayIcon::Context);
        break;
    case TrayPress::Middle:
        Q_EMIT icon->activated(QSystemTrayIcon::MiddleClick);
        break;
    case TrayPress::DoubleClick:
        Q_EMIT icon->activated(QSystemTrayIcon::DoubleClick);
        break;
    }
}

void QtBackend::whenBoxShown(int afterMs, std::function<void(QWidget* box)> act) {
    whenModalShown([](QWidget* w) { return qobject_cast<QMessageBox*>(w) != nullptr; }, afterMs, std::move(act));
}

void QtBackend::whenModalShown(const std::function<bool(QWidget*)>& isKind, int afterMs,
                               std::function<void(QWidget* box)> act) {
    // The box is not up yet: the test shows it after this call, from inside a handler.
    auto* poll = new QTimer(boxAnswerers_.get());
    poll->setInterval(kBoxPollMs);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, isKind, afterMs, act = std::move(act)] {
        QWidget* box = QApplication::activeModalWidget();
        if (box == nullptr || !isKind(box) || !box->isVisible()) {
            return;
        }
        poll->stop();
        QTimer::singleShot(afterMs, box, [box, act] { act(box); });
        poll->deleteLater();
    });
    poll->start();
}

void QtBackend::answerNextBox(MessageAnswer answer, int afterMs) {
    whenBoxShown(afterMs, [answer](QWidget* widget) {
        auto* box = static_cast<QMessageBox*>(widget);
        for (QAbstractButton* button : box->buttons()) {
            if (box->buttonRole(button) == roleOf(answer)) {
                QTest::mouseClick(button, Qt::LeftButton);
                return;
            }
        }
    });
}

void QtBackend::closeNextBox(int afterMs) {
    whenBoxShown(afterMs, [](QWidget* box) {
        if (box->windowHandle() != nullptr) {
            box->windowHandle()->close();
        }
    });
}

} // namespace kadrill::contract

namespace kadrill::contract {

namespace {

QWindow* activeWindowHandle() { return QGuiApplication::focusWindow(); }

// Key by key; QTest spells only Latin-1 by itself, the rest come as the text of a key
// without a key code of its own, as an input method hands them over.
void typeInto(QWidget* widget, const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.unicode() < 0x80) {
            QTest::keyClick(widget, c.toLatin1());
            continue;
        }
        const qsizetype length = c.isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, text.mid(i, length), Qt::NoModifier);
        i += length - 1;
    }
}

} // namespace

QWidget* QtBackend::focusedBox(TextBox& box) {
    QLineEdit* edit = dynamic_cast<platform::qt::QtTextBox&>(box).widget();
    if (!edit->isVisible() || !edit->isEnabled()) {
        return nullptr;
    }
    edit->window()->activateWindow();
    if (!QTest::qWaitForWindowActive(edit->window())) {
        return nullptr;
    }
    edit->setFocus(Qt::MouseFocusReason);
    return edit;
}

void QtBackend::clickInto(TextBox& box) {
    QWidget* edit = dynamic_cast<platform::qt::QtTextBox&>(box).widget();
    mouse(MouseAction::Click, edit, MouseButton::Left, QPoint(4, edit->height() / 2));
}

void QtBackend::type(TextBox& box, const std::string& text) {
    if (QWidget* edit = focusedBox(box)) {
        QTest::keyClick(edit, Qt::Key_End);
        typeInto(edit, QString::fromStdString(text));
    }
}

void QtBackend::replaceText(TextBox& box, const std::string& text) {
    if (QWidget* edit = focusedBox(box)) {
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        if (text.empty()) {
            QTest::keyClick(edit, Qt::Key_Delete);
        } else {
            typeInto(edit, QString::fromStdString(text));
        }
    }
}

void QtBackend::click(CommandButton& button) {
    QWidget* widget = dynamic_cast<platform::qt::QtCommandButton&>(button).widget();
    mouse(MouseAction::Click, widget, MouseButton::Left, widget->rect().center());
}

void QtBackend::click(OptionButton& option) {
    // On the round mark, which a short caption leaves at the left of a wide option.
    QWidget* widget = dynamic_cast<platform::qt::QtOptionButton&>(option).widget();
    mouse(MouseAction::Click, widget, MouseButton::Left, QPoint(7, widget->height() / 2));
}

void QtBackend::clickLine(ListBox& list, int index) {
    QListWidget* widget = dynamic_cast<platform::qt::QtListBox&>(list).widget();
    QListWidgetItem* line = widget->item(index);
    if (line == nullptr || !widget->isVisible()) {
        return;
    }
    widget->scrollToItem(line);
    mouse(MouseAction::Click, widget->viewport(), MouseButton::Left, widget->visualItemRect(line).center());
}

void QtBackend::press(Key key) {
    QWindow* window = activeWindowHandle();
    if (window == nullptr) {
        return;
    }
    switch (key) {
    case Key::Enter:
        QTest::keyClick(window, Qt::Key_Return);
        break;
    case Key::Escape:
        QTest::keyClick(window, Qt::Key_Escape);
        break;
    case Key::Tab:
        QTest::keyClick(window, Qt::Key_Tab);
        break;
    case Key::BackTab:
        QTest::keyClick(window, Qt::Key_Backtab, Qt::ShiftModifier);
        break;
    case Key::Up:
        QTest::keyClick(window, Qt::Key_Up);
        break;
    case Key::Down:
        QTest::keyClick(window, Qt::Key_Down);
        break;
    case Key::Menu:
        QTest::keyClick(window, Qt::Key_Menu);
        break;
    case Key::ShiftF10:
        QTest::keyClick(window, Qt::Key_F10, Qt::ShiftModifier);
        break;
    }
}

void QtBackend::pressAccessKey(char letter) {
    if (QWindow* window = activeWindowHandle()) {
        const auto upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
        QTest::keyClick(window, static_cast<Qt::Key>(upper), Qt::AltModifier);
    }
}

void QtBackend::answerNextFileDialog(const std::string& path) {
    const QString typed = QString::fromStdString(path);
    whenModalShown([](QWidget* w) { return qobject_cast<QFileDialog*>(w) != nullptr; }, 0, [this, typed](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        fileDialogStart_ = (dialog->directory().absolutePath() + u'/' + (name ? name->text() : QString())).toStdString();
        if (typed.isEmpty()) {
            QTest::keyClick(dialog, Qt::Key_Escape);
            return;
        }
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (edit != nullptr) {
            // A user types into the name only once the dialog has the focus; before, the
            // dialog keeps the file it had selected whatever the name says.
            dialog->activateWindow();
            (void)QTest::qWaitForWindowActive(dialog);
            edit->setFocus();
            edit->setText(typed);
            QTest::keyClick(edit, Qt::Key_Return);
        }
    });
}

} // namespace kadrill::contract
