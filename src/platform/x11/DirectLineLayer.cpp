#include "DirectLineLayer.h"

#include "XcbEvents.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QWidget>
#include <qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>

namespace kadrill::platform::x11 {

namespace {

// Hands the exposures of one window to the layer; Qt ignores windows it did not make.
class ExposeFilter final : public QAbstractNativeEventFilter {
public:
    ExposeFilter(xcb_window_t window, std::function<void(QRect)> exposed)
        : window_(window), exposed_(std::move(exposed)) {}

    void watch(xcb_window_t window) { window_ = window; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        const auto* expose = xcbEventOf<xcb_expose_event_t>(eventType, message, XCB_EXPOSE);
        if (expose == nullptr || expose->window != window_) {
            return false;
        }
        exposed_(QRect(expose->x, expose->y, expose->width, expose->height));
        return true;
    }

private:
    xcb_window_t window_;
    std::function<void(QRect)> exposed_;
};

// The layer uploads its background as 32-bit pixels 0x00RRGGBB in the client's byte order,
// and colours its GC with the same value: right for the 24-bit TrueColor screens of today,
// and checked rather than assumed.
bool usualFormat(xcb_connection_t* c, const xcb_screen_t* screen, std::uint8_t depth) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    if (depth != 24 || setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST) {
        return false;
    }
    bool thirtyTwoBits = false;
    for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem > 0; xcb_format_next(&it)) {
        thirtyTwoBits = thirtyTwoBits || (it.data->depth == 24 && it.data->bits_per_pixel == 32);
    }
    if (!thirtyTwoBits) {
        return false;
    }
    for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem > 0; xcb_depth_next(&d)) {
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem > 0; xcb_visualtype_next(&v)) {
            if (v.data->visual_id == screen->root_visual) {
                return v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR && v.data->red_mask == 0xFF0000 &&
                       v.data->green_mask == 0xFF00 && v.data->blue_mask == 0xFF;
            }
        }
    }
    return false;
}

// Calls back when Qt gives the top-level window a new native handle or takes it away, as on
// QWindow::destroy() or a trip to another parent: the layer's window is a child of that
// handle and goes with it.
class HandleWatch final : public QObject {
public:
    HandleWatch(QWidget* top, std::function<void()> changed) : top_(top), changed_(std::move(changed)) {
        top->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == top_ && event->type() == QEvent::WinIdChange) {
            changed_();
        }
        return false;
    }

private:
    QObject* top_;
    std::function<void()> changed_;
};

std::uint32_t pixelOf(QRgb colour) { return colour & 0xFFFFFFU; }

// Every layer alive, for flushAll, those of one window in their stacking order (the last on
// top); all of them live on the user-interface thread.
std::vector<DirectLineLayer*>& layers() {
    static std::vector<DirectLineLayer*> all;
    return all;
}

} // namespace

struct DirectLineLayer::Connection {
    xcb_connection_t* xcb = nullptr;
    QWidget* host = nullptr;
    QWidget* top = nullptr; // the host's window, whose native handle is the parent
    QRect area;             // logical pixels of the host
    qreal ratio = 1;
    std::uint8_t depth = 0;
    xcb_window_t parent = 0;
    xcb_window_t window = 0; // none while the top-level window has no handle
    xcb_pixmap_t background = 0;
    QSize size; // device pixels
    xcb_gcontext_t gc = 0;
    std::uint32_t gcPixel = 0;
    bool shown = false;
    bool unflushed = false;
    std::unique_ptr<ExposeFilter> filter;
    std::unique_ptr<HandleWatch> handleWatch;

    ~Connection() {
        if (filter) {
            QCoreApplication::instance()->removeNativeEventFilter(filter.get());
        }
        // The window may already be gone with its Qt parent; that error is of no interest.
        if (window != 0) {
            xcb_discard_reply(xcb, xcb_destroy_window_checked(xcb, window).sequence);
        }
        if (gc != 0) {
            xcb_free_gc(xcb, gc);
        }
        if (background != 0) {
            xcb_free_pixmap(xcb, background);
        }
        xcb_flush(xcb);
    }

    // The layer's window on `onto`, where its area is, on the screen if the layer is shown.
    // New windows go over their siblings. Exposures only once there are lines to draw
    // again: the server repaints the background by itself.
    void open(xcb_window_t onto) {
        parent = onto;
        const QPoint at = devicePosition();
        window = xcb_generate_id(xcb);
        const std::uint32_t values[] = {background, filter ? XCB_EVENT_MASK_EXPOSURE : XCB_EVENT_MASK_NO_EVENT};
        xcb_create_window(xcb, XCB_COPY_FROM_PARENT, window, parent, static_cast<std::int16_t>(at.x()),
                          static_cast<std::int16_t>(at.y()), static_cast<std::uint16_t>(size.width()),
                          static_cast<std::uint16_t>(size.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXMAP | XCB_CW_EVENT_MASK, values);
        if (shown) {
            xcb_map_window(xcb, window);
        }
        if (filter) {
            filter->watch(window);
        }
    }

    QPoint devicePosition() const {
        const QPoint at = host->mapTo(host->window(), area.topLeft());
        return {static_cast<int>(std::lround(at.x() * ratio)), static_cast<int>(std::lround(at.y() * ratio))};
    }
};

std::unique_ptr<DirectLineLayer> DirectLineLayer::create(QWidget* host, QRect area, const QImage& background,
                                                         bool shown) {
    if (QGuiApplication::platformName() != QLatin1String("xcb") || area.isEmpty()) {
        return nullptr;
    }
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr) {
        return nullptr;
    }
    auto conn = std::make_unique<Connection>();
    conn->xcb = x11->connection();
    conn->host = host;
    conn->top = host->window();
    conn->area = area;
    conn->ratio = host->devicePixelRatioF();
    conn->shown = shown;
    xcb_connection_t* c = conn->xcb;

    const auto parent = static_cast<xcb_window_t>(conn->top->winId());
    xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, parent), nullptr);
    if (geometry == nullptr) {
        return nullptr;
    }
    const std::uint8_t depth = geometry->depth;
    const xcb_window_t root = geometry->root;
    std::free(geometry);
    const xcb_screen_t* screen = nullptr;
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem > 0; xcb_screen_next(&it)) {
        if (it.data->root == root) {
            screen = it.data;
        }
    }
    if (screen == nullptr || !usualFormat(c, screen, depth)) {
        return nullptr;
    }

    const QImage pixels = background.convertToFormat(QImage::Format_RGB32);
    const auto width = static_cast<std::uint16_t>(pixels.width());
    const auto height = static_cast<std::uint16_t>(pixels.height());
    conn->depth = depth;
    conn->size = pixels.size();
    conn->background = xcb_generate_id(c);
    xcb_create_pixmap(c, depth, conn->background, parent, width, height);
    conn->gc = xcb_generate_id(c);
    const std::uint32_t gcValues[] = {0, 0};
    xcb_create_gc(c, conn->gc, conn->background, XCB_GC_FOREGROUND | XCB_GC_GRAPHICS_EXPOSURES, gcValues);
    // In strips, each within the largest request the server takes.
    const std::uint32_t maxBytes = xcb_get_maximum_request_length(c) * 4U - 64U;
    const auto rowBytes = static_cast<std::uint32_t>(pixels.bytesPerLine());
    const int rowsPerStrip = std::max(1, static_cast<int>(maxBytes / rowBytes));
    for (int y = 0; y < height; y += rowsPerStrip) {
        const int rows = std::min(rowsPerStrip, height - y);
        xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, conn->background, conn->gc, width, static_cast<std::uint16_t>(rows),
                      0, static_cast<std::int16_t>(y), 0, depth, rowBytes * static_cast<std::uint32_t>(rows),
                      pixels.constScanLine(y));
    }

    conn->open(parent);
    xcb_flush(c);

    QWidget* top = conn->top;
    auto layer = std::unique_ptr<DirectLineLayer>(new DirectLineLayer(std::move(conn)));
    layer->connection_->handleWatch = std::make_unique<HandleWatch>(top, [top] { handleChanged(top); });
    return layer;
}

void DirectLineLayer::handleChanged(QWidget* top) {
    // In stacking order, each new window going over those made before it. The old window died
    // with its parent: its id is not ours to use any more. The background pixmap and the GC
    // outlive it, and the exposure of the new window has the lines drawn again.
    const auto handle = static_cast<xcb_window_t>(top->internalWinId());
    for (DirectLineLayer* layer : layers()) {
        Connection& c = *layer->connection_;
        if (c.top != top || c.parent == handle) {
            continue;
        }
        c.parent = handle;
        c.window = 0;
        if (handle == 0) {
            continue;
        }
        xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(c.xcb, xcb_get_geometry(c.xcb, handle), nullptr);
        // A window of another depth (a translucent one) cannot take our background.
        if (geometry != nullptr && geometry->depth == c.depth) {
            c.open(handle);
            xcb_flush(c.xcb);
        }
        std::free(geometry);
    }
}

void DirectLineLayer::watchExposures() {
    Connection& c = *connection_;
    if (c.filter) {
        return;
    }
    // Exposures come between the program's handlers: drawn and sent at once.
    c.filter = std::make_unique<ExposeFilter>(c.window, [this](QRect rect) {
        redraw(rect);
        flush();
    });
    QCoreApplication::instance()->installNativeEventFilter(c.filter.get());
    if (c.window != 0) {
        const std::uint32_t mask = XCB_EVENT_MASK_EXPOSURE;
        xcb_change_window_attributes(c.xcb, c.window, XCB_CW_EVENT_MASK, &mask);
    }
}

DirectLineLayer::DirectLineLayer(std::unique_ptr<Connection> connection) : connection_(std::move(connection)) {
    layers().push_back(this);
}

DirectLineLayer::~DirectLineLayer() { std::erase(layers(), this); }

void DirectLineLayer::flush() {
    Connection& c = *connection_;
    if (!c.unflushed) {
        return;
    }
    c.unflushed = false;
    xcb_flush(c.xcb);
    if (flushed) {
        flushed();
    }
}

void DirectLineLayer::flushAll() {
    for (DirectLineLayer* layer : layers()) {
        layer->flush();
    }
}

void DirectLineLayer::place(Line& line, const QPolygonF& outline) const {
    const Connection& c = *connection_;
    QPolygon device;
    line.points.clear();
    for (const QPointF& p : outline) {
        const QPointF d = (p - c.area.topLeft()) * c.ratio;
        const QPoint rounded(static_cast<int>(std::lround(d.x())), static_cast<int>(std::lround(d.y())));
        device << rounded;
        line.points.push_back(rounded.x());
        line.points.push_back(rounded.y());
    }
    line.bounds = device.boundingRect().adjusted(-1, -1, 1, 1);
}

int DirectLineLayer::addLine(const QPolygonF& outline, QRgb colour, bool visible) {
    watchExposures();
    Line line;
    place(line, outline);
    line.colour = colour;
    line.visible = visible;
    lines_.push_back(std::move(line));
    fill(lines_.back());
    return static_cast<int>(lines_.size()) - 1;
}

void DirectLineLayer::setLine(int index, QRgb colour, bool visible) {
    Line& line = lines_.at(static_cast<std::size_t>(index));
    if (line.colour == colour && line.visible == visible) {
        return;
    }
    const bool hidden = line.visible && !visible;
    line.colour = colour;
    line.visible = visible;
    if (hidden) {
        redraw(line.bounds);
    } else {
        fill(line);
    }
}

void DirectLineLayer::moveLine(int index, const QPolygonF& outline) {
    Line& line = lines_.at(static_cast<std::size_t>(index));
    const QRect was = line.bounds;
    place(line, outline);
    if (line.visible) {
        // Where it was, the background and the other lines come back; then it is drawn anew.
        redraw(was);
        fill(line);
    }
}

void DirectLineLayer::fill(const Line& line) {
    Connection& c = *connection_;
    if (!line.visible || c.window == 0) {
        return;
    }
    const std::uint32_t pixel = pixelOf(line.colour);
    if (pixel != c.gcPixel) {
        c.gcPixel = pixel;
        xcb_change_gc(c.xcb, c.gc, XCB_GC_FOREGROUND, &pixel);
    }
    std::vector<xcb_point_t> points;
    points.reserve(line.points.size() / 2);
    for (std::size_t i = 0; i + 1 < line.points.size(); i += 2) {
        points.push_back({static_cast<std::int16_t>(line.points[i]), static_cast<std::int16_t>(line.points[i + 1])});
    }
    xcb_fill_poly(c.xcb, c.window, c.gc, XCB_POLY_SHAPE_COMPLEX, XCB_COORD_MODE_ORIGIN,
                  static_cast<std::uint32_t>(points.size()), points.data());
    c.unflushed = true;
}

void DirectLineLayer::redraw(QRect rect) {
    Connection& c = *connection_;
    if (c.window == 0) {
        return;
    }
    // The server paints the background pixmap back; the lines over it are ours to draw.
    xcb_clear_area(c.xcb, 0, c.window, static_cast<std::int16_t>(rect.x()), static_cast<std::int16_t>(rect.y()),
                   static_cast<std::uint16_t>(rect.width()), static_cast<std::uint16_t>(rect.height()));
    for (const Line& line : lines_) {
        if (line.visible && line.bounds.intersects(rect)) {
            fill(line);
        }
    }
    c.unflushed = true;
}

void DirectLineLayer::setShown(bool shown) {
    Connection& c = *connection_;
    c.shown = shown;
    if (c.window == 0) {
        return;
    }
    if (shown) {
        xcb_map_window(c.xcb, c.window);
    } else {
        xcb_unmap_window(c.xcb, c.window);
    }
    c.unflushed = true;
}

void DirectLineLayer::raise() {
    std::erase(layers(), this);
    layers().push_back(this);
    Connection& c = *connection_;
    if (c.window == 0) {
        return;
    }
    const std::uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(c.xcb, c.window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    c.unflushed = true;
}

void DirectLineLayer::follow() {
    Connection& c = *connection_;
    if (c.window == 0) {
        return;
    }
    const QPoint at = c.devicePosition();
    const std::uint32_t values[] = {static_cast<std::uint32_t>(at.x()), static_cast<std::uint32_t>(at.y())};
    xcb_configure_window(c.xcb, c.window, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, values);
    c.unflushed = true;
}

} // namespace kadrill::platform::x11
