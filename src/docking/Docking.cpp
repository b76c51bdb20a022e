#include "docking/Docking.h"

#include "app/frmMain.h"

namespace nimbrel {

Point DockedPlace(const std::string& toolbarPosition,
                  float screenWidth,
                  float screenHeight,
                  float windowWidth,
                  float windowHeight) {
    if (toolbarPosition == "RIGHT")
        return {screenWidth - windowWidth, 0.0F};
    if (toolbarPosition == "BOTTOM")
        return {0.0F, screenHeight - windowHeight};
    return {0.0F, 0.0F};
}

void frmMain::GO_BarOn() {
    if (!BarShown) {
        IMainWindow& window = platform_.window;
        const Point place = DockedPlace(BarSettings.ToolbarPosition, platform_.screen.Width(),
                                        platform_.screen.Height(), window.Width(), window.Height());
        window.Move(place.left, place.top);
        window.SetZOrder(ZOrder::Topmost);
        window.Activate();
        window.SetFocus();
        BarShown = true;
    }
    Timer2->SetEnabled(true);
}

void frmMain::GO_BarOff() {
    if (BarShown) {
        platform_.window.Move(kParkedPlace.left, kParkedPlace.top);
        BarShown = false;
    }
    Timer2->SetInterval(kReleaseAfterParkMs);
    Timer2->SetEnabled(true);
}

void frmMain::Timer2_Timer() {
    if (ended_)
        return;
    Timer2->SetEnabled(false);
    platform_.window.SetZOrder(ZOrder::NoTopmost);
}

void frmMain::GO_Exit() {
    platform_.window.SetVisible(false);
    ended_ = true;
    platform_.process.EndProgram();
}

}  // namespace nimbrel
