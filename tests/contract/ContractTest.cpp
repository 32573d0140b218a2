#include "ContractTest.h"

namespace kadrill::contract {

using platform::MouseButton;
using platform::Point;

namespace {

const char* nameOf(MouseButton b) {
    switch (b) {
    case MouseButton::Left:
        return "L";
    case MouseButton::Right:
        return "R";
    case MouseButton::Middle:
        return "M";
    case MouseButton::None:
        break;
    }
    return "-";
}

} // namespace

void MouseLog::add(const std::string& what, const platform::MouseEvent& e, const Origin& origin) {
    lines.push_back(what + " " + nameOf(e.button) + " held " + std::to_string(e.buttons) + " at " +
                    std::to_string(e.position.x) + "," + std::to_string(e.position.y));
    const Point expected = origin() + e.position;
    if (e.screen != expected) {
        lines.push_back(what + " screen off by " + std::to_string(e.screen.x - expected.x) + "," +
                        std::to_string(e.screen.y - expected.y));
    }
}

Point clientOrigin(const platform::Window& w) { return w.position() + w.clientOffset().value_or(Point{}); }

Point operator+(Point a, Point b) { return {a.x + b.x, a.y + b.y}; }

} // namespace kadrill::contract
