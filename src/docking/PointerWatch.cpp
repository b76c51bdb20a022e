#include "docking/PointerWatch.h"

#include <cstdint>
#include <limits>

#include "app/frmMain.h"

namespace nimbrel {

std::int32_t PixelsToTwips(std::int32_t pixels, float twipsPerPixel) {
    const double twips = RoundHalfEven(static_cast<double>(pixels) * static_cast<double>(twipsPerPixel));
    // Only absurd pointer coordinates or scales reach the clamps.
    if (!(twips > std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    if (twips > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(twips);
}

bool PointerLeftBand(const WatchInput& in) {
    const double x = in.x;
    const double y = in.y;
    const TwipsRect& area = in.workArea;
    switch (in.dockEdge) {
        case Edge::Top:
            return y >= static_cast<double>(area.top + in.windowHeight);
        case Edge::Bottom:
            return y <= static_cast<double>(area.bottom - in.windowHeight);
        case Edge::Left:
            return x >= static_cast<double>(area.left + in.windowWidth);
        case Edge::Right:
            return x <= static_cast<double>(area.right - in.windowWidth);
    }
    return false;
}

bool PointerTouchesRecallEdge(const WatchInput& in) {
    if (!in.recallEdge)
        return false;
    switch (*in.recallEdge) {
        case Edge::Top:
            return in.y < kEdgeZoneTwips;
        case Edge::Bottom:
            return in.y > static_cast<double>(in.screenHeight) - kEdgeZoneTwips;
        case Edge::Left:
            return in.x < kEdgeZoneTwips;
        case Edge::Right:
            return in.x > static_cast<double>(in.screenWidth) - kEdgeZoneTwips;
    }
    return false;
}

bool OnOtherMonitor(const std::vector<Monitor>& monitors, std::int32_t x, std::int32_t y) {
    bool onOther = false;
    for (const Monitor& monitor : monitors) {
        if (monitor.area.Contains(x, y)) {
            // Monitors that show the same picture overlap; the primary's wins.
            if (monitor.primary)
                return false;
            onOther = true;
        }
    }
    return onOther;
}

WatchDecision Decide(const WatchInput& in) {
    if (in.barShown)
        return in.onOtherMonitor || PointerLeftBand(in) ? WatchDecision::Hide : WatchDecision::None;
    return !in.onOtherMonitor && PointerTouchesRecallEdge(in) ? WatchDecision::Show : WatchDecision::None;
}

void frmMain::Timer1_Timer() {
    if (ended_)
        return;
    platform_.pump.DoEvents();
    if (ended_)
        return;
    std::int32_t px = 0;
    std::int32_t py = 0;
    platform_.pointer.GetCursorPos(px, py);

    WatchInput in;
    in.x = PixelsToTwips(px, platform_.screen.TwipsPerPixelX());
    in.y = PixelsToTwips(py, platform_.screen.TwipsPerPixelY());
    platform_.pump.DoEvents();
    if (ended_)
        return;

    in.barShown = BarShown;
    in.dockEdge = DockEdge();
    in.recallEdge = EdgeNamed(BarSettings.PointerPosition);
    in.screenWidth = platform_.screen.Width();
    in.screenHeight = platform_.screen.Height();
    in.workArea = platform_.screen.WorkArea();
    in.windowWidth = platform_.window.Width();
    in.windowHeight = platform_.window.Height();
    in.onOtherMonitor = OnOtherMonitor(platform_.screen.Monitors(), px, py);

    WatchDecision decision = Decide(in);
    // A bar that the keyboard called stays while the keyboard works it.
    if (decision == WatchDecision::Hide && keyboardHold_)
        decision = WatchDecision::None;
    // A docked bar that stays ends the tick here.
    if (in.barShown && decision == WatchDecision::None)
        return;
    platform_.pump.DoEvents();
    // GO_BarOn and GO_BarOff test BarShown again, so whatever ran inside the pump is harmless.
    if (ended_)
        return;
    if (decision == WatchDecision::Hide)
        GO_BarOff();
    else if (decision == WatchDecision::Show)
        GO_BarOn();
}

}  // namespace nimbrel
