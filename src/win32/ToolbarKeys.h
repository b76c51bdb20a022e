// The keyboard on the bar: the arrow keys along the bar, Home and End light a button, Enter and Space press it, the
// arrow that points away from the screen's edge opens a category's menu, and Esc lets the bar go. Keys do nothing on a
// parked bar.
#pragma once

#include <windows.h>

#include <cstddef>

#include "platform/Edge.h"
#include "win32/WindowClass.h"

namespace nimbrel::win32 {

// What the keys need of the bar they work.
class IKeyedBar {
public:
    virtual ~IKeyedBar() = default;
    virtual std::size_t ButtonCount() const = 0;
    // False for separators and hidden buttons.
    virtual bool Pressable(std::size_t position) const = 0;
    virtual bool DropDown(std::size_t position) const = 0;
    virtual Edge DockSide() const = 0;
    // Presses the button as a click does: runs its command or opens its menu.
    virtual void Press(std::size_t position) = 0;
    // Whether keys may act now: not while the bar is parked.
    virtual bool KeysAccepted() const = 0;
    virtual void Escape() = 0;
};

// Hears the toolbar's keys through a subclass for as long as it lives. The lit button is the toolbar's hot item; each
// move of it from the keyboard shows the focus cues and is told to screen readers as the button's focus.
class ToolbarKeys {
public:
    ToolbarKeys(HWND toolbar, IKeyedBar& bar)
        : toolbar_(toolbar), bar_(bar), subclass_(toolbar, *this, &ToolbarKeys::OnMessage) {}

private:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // True when the key was the bar's.
    bool OnKeyDown(WPARAM key);
    int Hot() const;
    void SetHot(int position) const;
    void MoveHot(int step) const;
    void Lit(int position) const;

    HWND toolbar_;
    IKeyedBar& bar_;
    // The key whose press pressed a button: its key-up must not press again.
    WPARAM pressedBy_ = 0;
    Subclass<ToolbarKeys> subclass_;
};

}  // namespace nimbrel::win32
