#include "WatchFaceLayout.h"

#include "platform/Container.h"

namespace kadrill::watch {

namespace {

using platform::Point;
using platform::Rect;

struct SegmentPath {
    Point from;
    Point to;
};

// Segment i of a digit whose left edge is at x = 0.
constexpr std::array<SegmentPath, 7> kSegments = {{
    {{120, 240}, {360, 240}},   // 0 top
    {{0, 240}, {0, 600}},       // 1 upper left
    {{480, 240}, {480, 600}},   // 2 upper right
    {{120, 660}, {360, 660}},   // 3 middle
    {{0, 720}, {0, 1080}},      // 4 lower left
    {{480, 720}, {480, 1080}},  // 5 lower right
    {{120, 1080}, {360, 1080}}, // 6 bottom
}};

constexpr int kSegmentThicknessPixels = 6;
constexpr const char* kMarkFont = "ＭＳ Ｐゴシック";

constexpr int kButtonTop = 1485;
constexpr int kButtonWidth = 615;
constexpr int kButtonHeight = 300;

platform::PictureButton* addButton(platform::Container& window, int left, const char* picture, const char* tip,
                                   int tabIndex, bool visible) {
    return &window.addPictureButton({
        .bounds = {left, kButtonTop, kButtonWidth, kButtonHeight},
        .picture = picture,
        .toolTip = tip,
        .tabIndex = tabIndex,
        .visible = visible,
    });
}

} // namespace

void buildWatchFace(platform::Container& window, WatchFace& face) {
    for (std::size_t d = 0; d < kDigitLeft.size(); ++d) {
        const int left = kDigitLeft[d];
        for (std::size_t i = 0; i < kSegments.size(); ++i) {
            const SegmentPath& s = kSegments[i];
            face.digits[d][i] = &window.addLine({
                .from = {left + s.from.x, s.from.y},
                .to = {left + s.to.x, s.to.y},
                .thicknessPixels = kSegmentThicknessPixels,
                .color = 0,
            });
        }
    }

    face.AM = &window.addLabel({.bounds = {480, 120, 615, 375},
                                .text = "AM",
                                .fontName = kMarkFont,
                                .fontPoints = 21.75,
                                .foreColor = 0,
                                .visible = false});
    face.PM = &window.addLabel({.bounds = {480, 720, 615, 375},
                                .text = "PM",
                                .fontName = kMarkFont,
                                .fontPoints = 21.75,
                                .foreColor = 0,
                                .visible = false});
    face.AlarmOn = &window.addLabel({.bounds = {240, 240, 240, 240},
                                     .text = "♪",
                                     .fontName = kMarkFont,
                                     .fontPoints = 12,
                                     .foreColor = 0,
                                     .visible = true});

    // Two places in the row are shared: one button of each shows at a time, by mode.
    face.ModeBtn = addButton(window, 1463, "btn-mode", "ﾓｰﾄﾞ切替", 0, true);
    face.SetBtn = addButton(window, 2078, "btn-set", "時刻の設定", 1, true);
    face.AlmBtn = addButton(window, 2693, "btn-alarm", "ｱﾗｰﾑの設定", 2, true);
    face.HyoujiKirikae = addButton(window, 3315, "btn-display", "12/24時間表示の切替", 3, true);
    face.StartBtn = addButton(window, 3315, "btn-start", "ｽﾀｰﾄ", 4, false);
    face.StopBtn = addButton(window, 3315, "btn-stop", "ｽﾄｯﾌﾟ", 5, false);
    face.AlarmOnBtn = addButton(window, 3930, "btn-alarmon", "ｱﾗｰﾑのｵﾝ/ｵﾌ", 6, true);
    face.ResetBtn = addButton(window, 3930, "btn-reset", "ﾘｾｯﾄ", 7, false);
    face.LapBtn = addButton(window, 3930, "btn-lap", "ﾗｯﾌﾟ", 8, false);
}

} // namespace kadrill::watch
