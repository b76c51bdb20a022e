#include "app/frmMain.h"
#include "docking/Docking.h"

namespace nimbrel {
namespace {

constexpr float kRequestedThickness = 400.0F;
constexpr float kMarginAcrossHorizontalBar = 50.0F;
constexpr float kMarginAcrossVerticalBar = 40.0F;
constexpr float kBottomOverhang = 10.0F;

enum Alignment { kAlignNone = 0, kAlignTop = 1, kAlignBottom = 2, kAlignLeft = 3, kAlignRight = 4 };
enum DockSide { kDockTop = 0, kDockLeft = 1, kDockRight = 2, kDockBottom = 3 };

}  // namespace

// Docks the bar and sizes the window around it. Sizes on the right-hand side are read back, so the
// window follows whatever thickness the bar actually kept.
void frmMain::PlaceBar() {
    IMainWindow& window = platform_.window;
    const IScreen& screen = platform_.screen;
    CommandBar& bar = *cmdBar[0];
    const std::string& position = BarSettings.ToolbarPosition;

    if (position == "RIGHT") {
        window.SetTop(0);
        bar.SetAlignment(kAlignRight);
        bar.SetDockSide(kDockRight);
        window.SetHeight(screen.Height());
        bar.SetWidth(kRequestedThickness);
        window.SetWidth(bar.Width() + kMarginAcrossVerticalBar);
        window.SetLeft(screen.Width() - window.Width());
    } else if (position == "BOTTOM") {
        bar.SetAlignment(kAlignBottom);
        bar.SetDockSide(kDockBottom);
        bar.SetHeight(kRequestedThickness);
        window.SetHeight(bar.Height() + kMarginAcrossHorizontalBar);
        window.SetWidth(screen.Width());
        window.SetTop(screen.Height() - window.Height() + kBottomOverhang);
        window.SetLeft(0);
    } else if (position == "LEFT") {
        bar.SetAlignment(kAlignLeft);
        bar.SetDockSide(kDockLeft);
        bar.SetWidth(kRequestedThickness);
        window.SetHeight(screen.Height());
        window.SetWidth(bar.Width() + kMarginAcrossVerticalBar);
        window.SetTop(0);
        window.SetLeft(0);
    } else {
        // Anything but the four edges docks at the top, for the rest of this run only.
        if (position != "TOP")
            BarSettings.ToolbarPosition = "TOP";
        window.SetLeft(0);
        window.SetTop(0);
        bar.SetAlignment(kAlignTop);
        bar.SetDockSide(kDockTop);
        bar.SetHeight(kRequestedThickness);
        window.SetHeight(bar.Height() + kMarginAcrossHorizontalBar);
        window.SetWidth(screen.Width());
    }
}

void frmMain::Form_DpiChanged() {
    if (ended_ || cmdBar.empty())
        return;
    IMainWindow& window = platform_.window;
    const IScreen& screen = platform_.screen;
    CommandBar& bar = *cmdBar[0];
    // Sizes only, in the order of the placement; moving happens once at the end, so a parked bar never
    // flashes onto the screen.
    if (BarSettings.ToolbarPosition == "LEFT" || BarSettings.ToolbarPosition == "RIGHT") {
        window.SetHeight(screen.Height());
        bar.SetWidth(kRequestedThickness);
        window.SetWidth(bar.Width() + kMarginAcrossVerticalBar);
    } else {
        bar.SetHeight(kRequestedThickness);
        window.SetHeight(bar.Height() + kMarginAcrossHorizontalBar);
        window.SetWidth(screen.Width());
    }
    const Point place = BarShown ? DockedPlace(BarSettings.ToolbarPosition, screen.Width(), screen.Height(),
                                               window.Width(), window.Height())
                                 : kParkedPlace;
    window.Move(place.left, place.top);
}

}  // namespace nimbrel
