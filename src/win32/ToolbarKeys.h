// The keyboard on the bar: the arrow keys along the bar, Home and End light a button, Enter and Space press it, and
// the arrow that points away from the screen's edge opens a category's menu.
#pragma once

#include <windows.h>

#include <cstddef>

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
    virtual int DockSide() const = 0;  // 0 top, 1 left, 2 right, 3 bottom
    // Presses the button as a click does: runs its command or opens its menu.
    virtual void Press(std::size_t position) = 0;
};

// Hears the toolbar's keys through a subclass for as long as it lives; the lit button is the toolbar's hot item.
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

    HWND toolbar_;
    IKeyedBar& bar_;
    Subclass<ToolbarKeys> subclass_;
};

}  // namespace nimbrel::win32
