#include "app/frmMain.h"

#include "docking/Docking.h"
#include "docking/PointerWatch.h"
#include "toolbar/ToolbarLayout.h"

namespace nimbrel {

frmMain::frmMain(Platform& platform) : platform_(platform) {
    cmdBar.push_back(std::make_unique<CommandBar>(0, *this, platform_.barViews));
    ImageList1 = platform_.barViews.LoadImageList();
    // As designed: Timer1 disabled, Timer2 enabled; both with interval 0, which never ticks.
    Timer1 = platform_.timers.CreateTimer([this] { Timer1_Timer(); }, false, 0);
    Timer2 = platform_.timers.CreateTimer([this] { Timer2_Timer(); }, true, 0);
}

frmMain::~frmMain() = default;

frmMain::LoadResult frmMain::LoadMainWindow() {
    if (!GetProgramFilesDir()) {
        ended_ = true;
        return LoadResult::Ended;
    }
    Read_CFG();

    CommandBar& bar = *cmdBar[0];
    bar.SetAlignment(std::nullopt);
    bar.SetHeight(0);
    bar.SetWidth(0);
    PlaceBar();

    ConfigurePrograms();
    if (!CreateButtons() || !BuildToolbar()) {
        ended_ = true;
        return LoadResult::Failed;
    }
    // After the catalogue's hiding, which the user's own entries never pass through.
    ShowLinks();
    bar.SetImageList(0, ImageList1);
    bar.SetImageList(1, ImageList1);
    ButtonBar* standard = bar.Bars().Item(kMainBarKey);
    if (standard == nullptr) {
        ended_ = true;
        return LoadResult::Failed;
    }
    bar.SetMainBar(standard);
    bar.SetStyle(static_cast<std::int32_t>(BarSettings.Style));
    BarShown = true;
    platform_.window.SetVisible(true);
    platform_.window.SetKeyPreview(false);

    // From here on a step that fails is skipped: none of them can keep the bar from working.
    platform_.window.SetZOrder(ZOrder::Top);
    platform_.window.Activate();
    platform_.window.SetFocus();
    platform_.window.Refresh();
    Timer1->SetInterval(kPointerWatchMs);
    Timer1->SetEnabled(true);
    Timer2->SetInterval(kReleaseAfterShowMs);
    up_ = true;
    FollowLinks();
    return LoadResult::Shown;
}

bool frmMain::Deferred(void (frmMain::*event)()) {
    if (up_ && !moving_)
        return false;
    platform_.pump.Post([this, event] { (this->*event)(); });
    return true;
}

void frmMain::OnDisplayChanged() {
    if (ended_ || Deferred(&frmMain::OnDisplayChanged))
        return;
    // A new resolution may come with a new scale.
    if (platform_.screen.UpdateScale())
        Form_DpiChanged();
    else
        PlaceAgain();
}

void frmMain::OnWorkAreaChanged() {
    if (ended_ || Deferred(&frmMain::OnWorkAreaChanged))
        return;
    PlaceAgain();
}

void frmMain::OnScaleChanged() {
    if (ended_ || Deferred(&frmMain::OnScaleChanged))
        return;
    // The bar is drawn for the primary monitor: a message that only the window's own place caused (moved next to
    // another monitor, or parked near one) finds that scale unchanged.
    if (platform_.screen.UpdateScale())
        Form_DpiChanged();
}

void frmMain::OnRecallRequested() {
    // Before the bar is up it is about to be shown docked anyway.
    if (ended_ || !up_)
        return;
    if (moving_) {
        platform_.pump.Post([this] { OnRecallRequested(); });
        return;
    }
    GO_BarOnKeyboard();
}

void frmMain::OnEndRequested() {
    if (!ended_)
        GO_Exit();
}

}  // namespace nimbrel
