#include "Dial.h"

#include "DialMath.h"

#include <string>

namespace kadrill::timeset {

namespace {

using platform::Color;
using platform::MouseButton;

constexpr platform::Point kHandStart{1320, 1320};
constexpr Color kSecondHandColor = platform::rgb(255, 128, 128);
constexpr int kMarkRadius = 30;

std::int16_t toInt16(double v) { return static_cast<std::int16_t>(roundHalfEven(v)); }

} // namespace

Dial::Dial(platform::Container& dialog, state::DialFields& fields, std::int16_t& dragButton, const DialLayout& layout)
    : fields_(fields), dragButton_(dragButton), roundMarks_(layout.roundMarks) {
    Frame1 = &dialog.addFrame({.bounds = {layout.frame1.x, layout.frame1.y, 2895, 3015}, .caption = "針の調整"});
    platform::PictureProperties face;
    face.bounds = {120, 240, 2655, 2655};
    face.backColor = platform::kSystemMenuColor;
    face.border = true;
    Picture1 = &Frame1->addPicture(face);
    const struct {
        int endY;
        int thickness;
        Color color;
    } hands[] = {{120, 4, platform::kSystemWindowTextColor},
                 {480, 4, platform::kSystemWindowTextColor},
                 {120, 1, kSecondHandColor}};
    for (std::size_t i = 0; i < Hand.size(); ++i) {
        Hand[i] = &Picture1->addLine(
            {.from = kHandStart, .to = {kHandStart.x, hands[i].endY}, .thicknessPixels = hands[i].thickness,
             .color = hands[i].color});
        Hand[i]->setVisible(false);
    }

    Frame2 = &dialog.addFrame({.bounds = {layout.frame2.x, layout.frame2.y, 1815, 615}, .caption = layout.frame2Caption});
    const char* names[] = {"時", "分", "秒"};
    platform::TextBox** boxes[] = {&Hour, &Min, &Sec};
    for (int i = 0; i < 3; ++i) {
        *boxes[i] = &Frame2->addTextBox({.bounds = {120 + 600 * i, 240, 375, 270},
                                         .text = "0",
                                         .fontName = "ＭＳ Ｐゴシック",
                                         .fontPoints = 11.25,
                                         // Longer would only ever be refused.
                                         .maxLength = 8,
                                         .tabIndex = layout.firstBoxTab + i,
                                         .accessibleName = names[i]});
        if (i < 2) {
            Frame2->addLabel({.bounds = {495 + 600 * i, 240, 225, 270},
                              .text = ":",
                              .fontName = "ＭＳ Ｐゴシック",
                              .fontPoints = 11.25,
                              .foreColor = platform::kSystemWindowTextColor});
        }
    }

    Picture1->mouseDown.setHandler([this](const platform::MouseEvent& e) { pressed(e); });
    Picture1->mouseMove.setHandler([this](const platform::MouseEvent& e) { moved(e); });
    Picture1->mouseUp.setHandler([this](const platform::MouseEvent&) { dragButton_ = 0; });
    Hour->changed.setHandler([this] { boxChanged(*Hour, fields_.DialHour, 23); });
    Min->changed.setHandler([this] { boxChanged(*Min, fields_.DialMinute, 59); });
    Sec->changed.setHandler([this] { boxChanged(*Sec, fields_.DialSecond, 59); });
}

void Dial::Load() {
    fields_.DialCenterX = static_cast<std::int16_t>(kHandStart.x);
    fields_.DialCenterY = static_cast<std::int16_t>(kHandStart.y);
    fields_.DialLastQuadrant = 1;
    dragButton_ = 0;
}

void Dial::DrawDialTicks() {
    const double cx = fields_.DialCenterX;
    const double cy = fields_.DialCenterY;
    for (int a = 0; a <= 59; ++a) {
        const platform::PointF exact = handEnd(cx, cy, a / 60.0, kLongHand);
        const platform::PointF at = roundMarks_
                                        ? platform::PointF{static_cast<float>(toInt16(exact.x)), static_cast<float>(toInt16(exact.y))}
                                        : exact;
        if (a % 5 == 0) {
            Picture1->drawCircle(at, kMarkRadius, platform::kSystemWindowTextColor);
        } else {
            Picture1->drawPoint(at, platform::kSystemWindowTextColor);
        }
    }
}

void Dial::DrawDialHands() {
    Hour->setText(std::to_string(fields_.DialHour));
    Min->setText(std::to_string(fields_.DialMinute));
    Sec->setText(std::to_string(fields_.DialSecond));
    for (auto* hand : Hand) {
        hand->setVisible(true);
    }
    const double cx = fields_.DialCenterX;
    const double cy = fields_.DialCenterY;
    const double h = fields_.DialHour;
    const double m = fields_.DialMinute;
    const double s = fields_.DialSecond;
    Hand[0]->setEnd(handEnd(cx, cy, (m * 60 + s) / 3600, kLongHand));
    Hand[1]->setEnd(handEnd(cx, cy, (h * 3600 + m * 60 + s) / 43200, kHourHand));
    Hand[2]->setEnd(handEnd(cx, cy, s / 60, kLongHand));
    describeHands();
}

void Dial::describeHands() {
    // The hands are lines on a picture: a screen reader gets their time as the picture's
    // text, worded afresh only when it changed (ten redraws a second while following).
    const std::int32_t shown = (fields_.DialHour * 60 + fields_.DialMinute) * 60 + fields_.DialSecond;
    if (shown == describedAt_) {
        return;
    }
    describedAt_ = shown;
    Picture1->setAccessibleText({"時計の針", std::to_string(fields_.DialHour) + "時" +
                                                 std::to_string(fields_.DialMinute) + "分" +
                                                 std::to_string(fields_.DialSecond) + "秒"});
}

void Dial::pressed(const platform::MouseEvent& e) {
    dragButton_ = static_cast<std::int16_t>(e.button);
    facePressed.raise();
}

void Dial::moved(const platform::MouseEvent& e) {
    if (dragButton_ != 1 && dragButton_ != 2) {
        return;
    }
    const int cx = fields_.DialCenterX;
    const int cy = fields_.DialCenterY;
    const int quadrant = dialQuadrant(e.position.x, e.position.y, cx, cy);
    const int v = dialValue(e.position.x, e.position.y, cx, cy);
    const bool clockwisePastTwelve = quadrant == 1 && fields_.DialLastQuadrant == 4;
    const bool anticlockwisePastTwelve = quadrant == 4 && fields_.DialLastQuadrant == 1;
    auto hourUp = [this] { fields_.DialHour = fields_.DialHour == 23 ? 0 : fields_.DialHour + 1; };
    auto hourDown = [this] { fields_.DialHour = fields_.DialHour == 0 ? 23 : fields_.DialHour - 1; };
    if (dragButton_ == 1) {
        fields_.DialMinute = v;
        if (clockwisePastTwelve) {
            hourUp();
        } else if (anticlockwisePastTwelve) {
            hourDown();
        }
        fields_.DialLastQuadrant = static_cast<std::int16_t>(quadrant);
        const state::DialFields now = fields_;
        Hour->setText(std::to_string(now.DialHour));
        Min->setText(std::to_string(now.DialMinute));
    } else {
        fields_.DialSecond = v;
        if (clockwisePastTwelve) {
            if (fields_.DialMinute == 59) {
                fields_.DialMinute = 0;
                hourUp();
            } else {
                ++fields_.DialMinute;
            }
        } else if (anticlockwisePastTwelve) {
            if (fields_.DialMinute == 0) {
                fields_.DialMinute = 59;
                hourDown();
            } else {
                --fields_.DialMinute;
            }
        }
        fields_.DialLastQuadrant = static_cast<std::int16_t>(quadrant);
        const state::DialFields now = fields_;
        Hour->setText(std::to_string(now.DialHour));
        Min->setText(std::to_string(now.DialMinute));
        Sec->setText(std::to_string(now.DialSecond));
    }
    DrawDialHands();
}

void Dial::boxChanged(platform::TextBox& box, std::int32_t& value, int bound) {
    const long long n = leadingNumber(box.text());
    if (n > bound || n < 0) {
        box.setText(std::to_string(value));
    } else {
        value = static_cast<std::int32_t>(n);
    }
    DrawDialHands();
}

} // namespace kadrill::timeset
