#include "docking/Docking.h"

#include <algorithm>
#include <utility>

#include "app/frmMain.h"

namespace nimbrel {

Point DockedPlace(Edge edge, const TwipsRect& workArea, float windowWidth, float windowHeight) {
    switch (edge) {
        case Edge::Right:
            return {workArea.right - windowWidth, workArea.top};
        case Edge::Bottom:
            return {workArea.left, workArea.bottom - windowHeight};
        case Edge::Top:
        case Edge::Left:
            break;
    }
    return {workArea.left, workArea.top};
}

Point ParkedPlace(float windowWidth,
                  float windowHeight,
                  const std::vector<Monitor>& monitors,
                  float twipsPerPixelX,
                  float twipsPerPixelY) {
    const float right = kParkedPlace.left + windowWidth;
    const float bottom = kParkedPlace.top + windowHeight;
    bool onAMonitor = false;
    float virtualLeft = 0;
    float virtualTop = 0;
    for (const Monitor& monitor : monitors) {
        const float left = static_cast<float>(monitor.area.left) * twipsPerPixelX;
        const float top = static_cast<float>(monitor.area.top) * twipsPerPixelY;
        const float monitorRight = static_cast<float>(monitor.area.right) * twipsPerPixelX;
        const float monitorBottom = static_cast<float>(monitor.area.bottom) * twipsPerPixelY;
        onAMonitor = onAMonitor || (kParkedPlace.left < monitorRight && left < right &&
                                    kParkedPlace.top < monitorBottom && top < bottom);
        virtualLeft = std::min(virtualLeft, left);
        virtualTop = std::min(virtualTop, top);
    }
    if (!onAMonitor)
        return kParkedPlace;
    return {virtualLeft - windowWidth, virtualTop - windowHeight};
}

void frmMain::GO_BarOn() {
    if (!BarShown) {
        const MoveScope moving(*this);
        IMainWindow& window = platform_.window;
        const Point place = DockedPlace(DockEdge(), DockArea(), window.Width(), window.Height());
        window.Move(place.left, place.top);
        window.SetZOrder(ZOrder::Topmost);
        window.Activate();
        window.SetFocus();
        BarShown = true;
    }
    Timer2->SetEnabled(true);
}

void frmMain::GO_BarOnKeyboard() {
    // A drop-down's own loop has the keyboard.
    if (ended_ || DropDownOpen())
        return;
    IMainWindow& window = platform_.window;
    const std::uintptr_t before = window.ForegroundWindow();
    if (!BarShown) {
        const MoveScope moving(*this);
        const Point place = DockedPlace(DockEdge(), DockArea(), window.Width(), window.Height());
        window.Move(place.left, place.top);
        BarShown = true;
    }
    // In front of every window, covered or not, until Timer2 releases the topmost band as after every show.
    window.SetZOrder(ZOrder::Topmost);
    if (window.TakeForeground() && window.HasForeground()) {
        if (before != 0)
            foregroundBefore_ = before;
        keyboardHold_ = true;
    } else {
        // Windows refused: without the keyboard no key can end a hold, so the bar is shown as at its recall edge
        // and the pointer decides.
        window.Activate();
    }
    window.SetFocus();
    Timer2->SetEnabled(true);
}

void frmMain::GO_BarOff() {
    keyboardHold_ = false;
    foregroundBefore_ = 0;
    if (BarShown) {
        const MoveScope moving(*this);
        const Point place = ParkedPlaceNow();
        platform_.window.Move(place.left, place.top);
        BarShown = false;
        parkedOnce_ = true;
    }
    Timer2->SetInterval(kReleaseAfterParkMs);
    Timer2->SetEnabled(true);
}

void frmMain::GiveForegroundBack() {
    if (foregroundBefore_ != 0)
        platform_.window.GiveForeground(std::exchange(foregroundBefore_, 0));
}

bool frmMain::DropDownOpen() const {
    for (const auto& bar : cmdBar) {
        if (bar->DropDownShowing())
            return true;
    }
    return false;
}

bool frmMain::cmdBar_KeysAccepted(std::int16_t /*index*/) {
    return BarShown && !ended_;
}

void frmMain::cmdBar_Escape(std::int16_t /*index*/) {
    if (!keyboardHold_)
        return;
    // The keyboard goes back to the window the user was in at once, before the park: a window that moves off the
    // screen may lose activation on the way, which would end the call and forget that window.
    GiveForegroundBack();
    GO_BarOff();
}

void frmMain::OnDeactivated() {
    // Another window has the foreground now: nothing to give back, and no keyboard to wait for.
    keyboardHold_ = false;
    foregroundBefore_ = 0;
}

void frmMain::OnHandlerFailed() {
    // The move may have happened while BarShown did not follow, or the other way round.
    if (up_ && !ended_)
        PlaceAgain();
}

Point frmMain::ParkedPlaceNow() const {
    const IScreen& screen = platform_.screen;
    return ParkedPlace(platform_.window.Width(), platform_.window.Height(), screen.Monitors(), screen.TwipsPerPixelX(),
                       screen.TwipsPerPixelY());
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
