#include "win32/ToolbarKeys.h"

#include <commctrl.h>

namespace nimbrel::win32 {
namespace {

// The key that opens a menu points the way it opens: across the bar, away from the edge; at the bottom, Down opens it
// too, as it does on every other row.
bool OpensMenu(Edge side, WPARAM key) {
    switch (side) {
        case Edge::Left:
            return key == VK_RIGHT;
        case Edge::Right:
            return key == VK_LEFT;
        case Edge::Bottom:
            return key == VK_UP || key == VK_DOWN;
        case Edge::Top:
            break;
    }
    return key == VK_DOWN;
}

}  // namespace

LRESULT ToolbarKeys::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN && OnKeyDown(wParam))
        return 0;
    if (message == WM_KEYUP && wParam == pressedBy_ && pressedBy_ != 0) {
        pressedBy_ = 0;
        return 0;
    }
    const LRESULT result = subclass_.Default(message, wParam, lParam);
    // Focus alone makes no button hot; the first arrow key does.
    if (message == WM_SETFOCUS)
        SetHot(-1);
    return result;
}

int ToolbarKeys::Hot() const {
    return static_cast<int>(::SendMessageW(toolbar_, TB_GETHOTITEM, 0, 0));
}

void ToolbarKeys::SetHot(int position) const {
    ::SendMessageW(toolbar_, TB_SETHOTITEM, static_cast<WPARAM>(position), 0);
}

void ToolbarKeys::Lit(int position) const {
    SetHot(position);
    // The keyboard is in use: show where it is, to the eye and to screen readers (whose child ids count every button
    // from 1, separators and hidden ones included).
    ::SendMessageW(::GetAncestor(toolbar_, GA_ROOT), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    ::NotifyWinEvent(EVENT_OBJECT_FOCUS, toolbar_, OBJID_CLIENT, position + 1);
}

void ToolbarKeys::MoveHot(int step) const {
    const int count = static_cast<int>(bar_.ButtonCount());
    if (count == 0)
        return;
    const int hot = Hot();
    // From no hot button, forward starts at the first and backward at the last.
    int position = hot >= 0 && hot < count ? hot : (step > 0 ? -1 : count);
    for (int tries = 0; tries < count; ++tries) {
        position = (position + step + count) % count;
        if (bar_.Pressable(static_cast<std::size_t>(position))) {
            Lit(position);
            return;
        }
    }
}

bool ToolbarKeys::OnKeyDown(WPARAM key) {
    pressedBy_ = 0;
    // A parked bar may still have the keyboard; it takes the bar's keys and does nothing with them.
    if (!bar_.KeysAccepted())
        return (key >= VK_END && key <= VK_DOWN) || key == VK_RETURN || key == VK_SPACE || key == VK_ESCAPE;
    const int hot = Hot();
    const bool onCategory =
        hot >= 0 && static_cast<std::size_t>(hot) < bar_.ButtonCount() && bar_.DropDown(static_cast<std::size_t>(hot));
    const Edge side = bar_.DockSide();
    const WPARAM next = Vertical(side) ? VK_DOWN : VK_RIGHT;
    const WPARAM previous = Vertical(side) ? VK_UP : VK_LEFT;
    if (key == next) {
        MoveHot(1);
    } else if (key == previous) {
        MoveHot(-1);
    } else if (key == VK_HOME || key == VK_END) {
        SetHot(-1);
        MoveHot(key == VK_HOME ? 1 : -1);
    } else if (key == VK_RETURN || key == VK_SPACE || (onCategory && OpensMenu(side, key))) {
        // The character that TranslateMessage made of this key is still queued; a menu opened now would take it
        // for its own and close.
        MSG typed{};
        while (::PeekMessageW(&typed, toolbar_, WM_CHAR, WM_CHAR, PM_REMOVE)) {
        }
        if (hot >= 0) {
            if (key == VK_RETURN || key == VK_SPACE)
                pressedBy_ = key;
            bar_.Press(static_cast<std::size_t>(hot));
        }
    } else if (key == VK_ESCAPE) {
        SetHot(-1);
        bar_.Escape();
    } else {
        return false;
    }
    return true;
}

}  // namespace nimbrel::win32
