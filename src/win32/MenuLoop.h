// Whether a menu is open, one fact for the whole program: the popup code and the menu owner's
// WM_ENTERMENULOOP/WM_EXITMENULOOP write it, the nested message pump and the toolbar's rebuild read it.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <vector>

namespace nimbrel::win32 {

class MenuLoop {
public:
    bool Open() const { return depth_ > 0 || entered_; }
    // Runs task once no menu is open: at once, or when the last one closes.
    void WhenClosed(std::function<void()> task);
    // The WM_ENTERMENULOOP and WM_EXITMENULOOP of a menu's owner.
    void OnEnter() { entered_ = true; }
    void OnExit();

    // Marks a menu as open for as long as it lives.
    class Scope {
    public:
        explicit Scope(MenuLoop& loop) : loop_(loop) { ++loop_.depth_; }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
        ~Scope() {
            --loop_.depth_;
            loop_.RunWaiting();
        }

    private:
        MenuLoop& loop_;
    };

private:
    void RunWaiting();

    int depth_ = 0;
    bool entered_ = false;
    std::vector<std::function<void()>> waiting_;
};

// For the life of a toolbar's drop-down: the menu loop open, the tips off and, given its command, the button pressed.
class DropDownScope {
public:
    DropDownScope(MenuLoop& loop, HWND toolbar, std::optional<int> pressed);
    DropDownScope(const DropDownScope&) = delete;
    DropDownScope& operator=(const DropDownScope&) = delete;
    ~DropDownScope();

private:
    MenuLoop::Scope open_;
    HWND toolbar_;
    std::optional<int> pressed_;
};

}  // namespace nimbrel::win32
