#include "docking/PointerWatch.h"

#include <algorithm>
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

std::int32_t PixelsAcross(float twips, float twipsPerPixel) {
    return twipsPerPixel > 0 ? static_cast<std::int32_t>(RoundHalfEven(static_cast<double>(twips / twipsPerPixel))) : 0;
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

bool OnSharedStrip(const std::vector<Monitor>& monitors,
                   Edge edge,
                   std::int32_t depth,
                   std::int32_t x,
                   std::int32_t y) {
    const auto primary = std::find_if(monitors.begin(), monitors.end(), [](const Monitor& m) { return m.primary; });
    if (primary == monitors.end() || depth <= 0)
        return false;
    const PixelRect& p = primary->area;
    // The strip beyond the primary's edge, as deep as the bar and as long as the edge.
    PixelRect strip = p;
    switch (edge) {
        case Edge::Top:
            strip = {p.left, p.top - depth, p.right, p.top};
            break;
        case Edge::Bottom:
            strip = {p.left, p.bottom, p.right, p.bottom + depth};
            break;
        case Edge::Left:
            strip = {p.left - depth, p.top, p.left, p.bottom};
            break;
        case Edge::Right:
            strip = {p.right, p.top, p.right + depth, p.bottom};
            break;
    }
    if (!strip.Contains(x, y))
        return false;
    // Only a monitor that touches the edge continues it; one further off leaves a gap the pointer cannot cross.
    return std::any_of(monitors.begin(), monitors.end(), [&](const Monitor& m) {
        const PixelRect& a = m.area;
        const bool touches = (edge == Edge::Top && a.bottom == p.top) || (edge == Edge::Bottom && a.top == p.bottom) ||
                             (edge == Edge::Left && a.right == p.left) || (edge == Edge::Right && a.left == p.right);
        return !m.primary && touches && a.Contains(x, y);
    });
}

WatchDecision Decide(const WatchInput& in) {
    if (in.barShown) {
        const bool away = in.onOtherMonitor ? !in.onDockStrip : PointerLeftBand(in);
        return away ? WatchDecision::Hide : WatchDecision::None;
    }
    const bool recall = in.onOtherMonitor ? in.onRecallStrip : PointerTouchesRecallEdge(in);
    return recall ? WatchDecision::Show : WatchDecision::None;
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
    const IScreen& screen = platform_.screen;
    in.screenWidth = screen.Width();
    in.screenHeight = screen.Height();
    in.workArea = DockArea();
    in.windowWidth = platform_.window.Width();
    in.windowHeight = platform_.window.Height();
    const std::vector<Monitor> monitors = screen.Monitors();
    in.onOtherMonitor = OnOtherMonitor(monitors, px, py);
    if (in.onOtherMonitor) {
        // As deep as the bar stands out from its edge.
        const std::int32_t depth = Vertical(in.dockEdge) ? PixelsAcross(in.windowWidth, screen.TwipsPerPixelX())
                                                         : PixelsAcross(in.windowHeight, screen.TwipsPerPixelY());
        in.onDockStrip = OnSharedStrip(monitors, in.dockEdge, depth, px, py);
        in.onRecallStrip = in.recallEdge && OnSharedStrip(monitors, *in.recallEdge, depth, px, py);
    }

    WatchDecision decision = Decide(in);
    // A bar that the keyboard called stays while the keyboard works it, and every bar while its own menu is open or
    // something droppable is over it.
    if (decision == WatchDecision::Hide && (keyboardHold_ || menuOpen_ || dragOver_))
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
