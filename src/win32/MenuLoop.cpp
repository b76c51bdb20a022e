#include "win32/MenuLoop.h"

#include <commctrl.h>

#include "win32/WineQuirks.h"

namespace nimbrel::win32 {
namespace {

void SetTipsActive(HWND toolbar, bool active) {
    HWND tips = reinterpret_cast<HWND>(::SendMessageW(toolbar, TB_GETTOOLTIPS, 0, 0));
    if (tips == nullptr)
        return;
    ::SendMessageW(tips, TTM_ACTIVATE, active ? TRUE : FALSE, 0);
    if (!active && TipTimerOutlivesDeactivation()) {
        MSG away{};
        away.hwnd = toolbar;
        away.message = WM_MOUSEMOVE;
        away.lParam = MAKELPARAM(-1, -1);
        ::SendMessageW(tips, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&away));
    }
}

}  // namespace

void MenuLoop::WhenClosed(std::function<void()> task) {
    waiting_.push_back(std::move(task));
    RunWaiting();
}

void MenuLoop::OnExit() {
    entered_ = false;
    RunWaiting();
}

void MenuLoop::RunWaiting() {
    if (Open())
        return;
    // A task may add another while they run.
    std::vector<std::function<void()>> tasks;
    tasks.swap(waiting_);
    for (const auto& task : tasks)
        task();
}

DropDownScope::DropDownScope(MenuLoop& loop, HWND toolbar, std::optional<int> pressed)
    : open_(loop), toolbar_(toolbar), pressed_(pressed) {
    if (pressed_)
        ::SendMessageW(toolbar_, TB_PRESSBUTTON, static_cast<WPARAM>(*pressed_), TRUE);
    // A tip that the pointer armed just before the click would otherwise appear over the menu.
    SetTipsActive(toolbar_, false);
}

DropDownScope::~DropDownScope() {
    SetTipsActive(toolbar_, true);
    if (pressed_)
        ::SendMessageW(toolbar_, TB_PRESSBUTTON, static_cast<WPARAM>(*pressed_), FALSE);
}

}  // namespace nimbrel::win32
