#include "app/frmMain.h"

#include <algorithm>

#include "docking/Docking.h"

namespace nimbrel {
namespace {

constexpr float kRequestedThickness = 400.0F;
constexpr float kMarginAcrossHorizontalBar = 50.0F;
constexpr float kMarginAcrossVerticalBar = 40.0F;
constexpr float kBottomOverhang = 10.0F;

}  // namespace

Edge frmMain::DockEdge() const {
    return EdgeNamed(BarSettings.ToolbarPosition).value_or(Edge::Top);
}

void frmMain::ReadDockInset() {
    dockInset_ = platform_.screen.AutoHideTaskbar(DockEdge());
}

TwipsRect frmMain::DockArea() const {
    const IScreen& screen = platform_.screen;
    TwipsRect area = screen.WorkArea();
    if (dockInset_ <= 0)
        return area;
    // The taskbar's strip is measured from the screen's edge, where it slides in.
    switch (DockEdge()) {
        case Edge::Top:
            area.top = std::max(area.top, dockInset_);
            break;
        case Edge::Left:
            area.left = std::max(area.left, dockInset_);
            break;
        case Edge::Right:
            area.right = std::min(area.right, screen.Width() - dockInset_);
            break;
        case Edge::Bottom:
            area.bottom = std::min(area.bottom, screen.Height() - dockInset_);
            break;
    }
    return area;
}

// Docks the bar and sizes the window around it, against the work area's edge: on a desktop without a taskbar that
// is the screen's. Sizes on the right-hand side are read back, so the window follows whatever thickness the bar
// actually kept.
void frmMain::PlaceBar() {
    IMainWindow& window = platform_.window;
    ReadDockInset();
    const TwipsRect area = DockArea();
    CommandBar& bar = *cmdBar[0];
    const std::optional<Edge> edge = EdgeNamed(BarSettings.ToolbarPosition);

    if (edge == Edge::Right) {
        window.SetTop(area.top);
        bar.SetAlignment(Edge::Right);
        bar.SetDockSide(Edge::Right);
        window.SetHeight(area.bottom - area.top);
        bar.SetWidth(kRequestedThickness);
        window.SetWidth(bar.Width() + kMarginAcrossVerticalBar);
        window.SetLeft(area.right - window.Width());
    } else if (edge == Edge::Bottom) {
        bar.SetAlignment(Edge::Bottom);
        bar.SetDockSide(Edge::Bottom);
        bar.SetHeight(kRequestedThickness);
        window.SetHeight(bar.Height() + kMarginAcrossHorizontalBar);
        window.SetWidth(area.right - area.left);
        window.SetTop(area.bottom - window.Height() + kBottomOverhang);
        window.SetLeft(area.left);
    } else if (edge == Edge::Left) {
        bar.SetAlignment(Edge::Left);
        bar.SetDockSide(Edge::Left);
        bar.SetWidth(kRequestedThickness);
        window.SetHeight(area.bottom - area.top);
        window.SetWidth(bar.Width() + kMarginAcrossVerticalBar);
        window.SetTop(area.top);
        window.SetLeft(area.left);
    } else {
        // Anything but the four edges docks at the top, for the rest of this run only.
        if (edge != Edge::Top)
            BarSettings.ToolbarPosition = EdgeName(Edge::Top);
        window.SetLeft(area.left);
        window.SetTop(area.top);
        bar.SetAlignment(Edge::Top);
        bar.SetDockSide(Edge::Top);
        bar.SetHeight(kRequestedThickness);
        window.SetHeight(bar.Height() + kMarginAcrossHorizontalBar);
        window.SetWidth(area.right - area.left);
    }
}

void frmMain::Form_DpiChanged() {
    if (ended_ || cmdBar.empty())
        return;
    IMainWindow& window = platform_.window;
    CommandBar& bar = *cmdBar[0];
    if (Vertical(DockEdge())) {
        bar.SetWidth(kRequestedThickness);
        window.SetWidth(bar.Width() + kMarginAcrossVerticalBar);
    } else {
        bar.SetHeight(kRequestedThickness);
        window.SetHeight(bar.Height() + kMarginAcrossHorizontalBar);
    }
    PlaceAgain();
}

void frmMain::PlaceAgain() {
    if (ended_ || cmdBar.empty())
        return;
    const MoveScope moving(*this);
    IMainWindow& window = platform_.window;
    ReadDockInset();
    const TwipsRect area = DockArea();
    // Sizes first; the window moves once, at the end, so a parked bar never flashes onto the screen on the way.
    if (Vertical(DockEdge()))
        window.SetHeight(area.bottom - area.top);
    else
        window.SetWidth(area.right - area.left);
    Point place = ParkedPlaceNow();
    if (BarShown) {
        place = DockedPlace(DockEdge(), area, window.Width(), window.Height());
        if (DockEdge() == Edge::Bottom && !parkedOnce_)
            place.top += kBottomOverhang;
    }
    window.Move(place.left, place.top);
}

}  // namespace nimbrel
