// What every window of the program stands on: its class registered once per process, the object behind it found
// from WM_NCCREATE on, and one exception barrier between the system's message dispatch and the program.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <exception>
#include <utility>

namespace nimbrel::win32 {

// Registers the class unless it already is; false when it cannot be registered.
bool RegisterWindowClass(HINSTANCE instance,
                         const wchar_t* name,
                         WNDPROC procedure,
                         UINT style = 0,
                         HBRUSH background = nullptr,
                         HICON icon = nullptr);

// What a debug build tells the debugger of an exception stopped at the barrier; what is null for an unknown one.
void ReportCaught(const char* what) noexcept;

// Runs handler; nothing it throws may unwind through the system's message dispatch. False when it threw.
template <typename Handler>
bool Guarded(Handler&& handler) noexcept {
    try {
        handler();
        return true;
    } catch (const std::exception& caught) {
        ReportCaught(caught.what());
    } catch (...) {
        ReportCaught(nullptr);
    }
    return false;
}

struct WindowClassInfo {
    const wchar_t* name;
    UINT style = 0;
    HBRUSH background = nullptr;
    HICON icon = nullptr;
};

// The base of each window class of the program, which owns its window: Derived::HandleMessage receives every
// message from WM_NCCREATE to WM_NCDESTROY and leaves to Default what it does not handle.
template <typename Derived>
class WindowProc {
public:
    WindowProc(const WindowProc&) = delete;
    WindowProc& operator=(const WindowProc&) = delete;

    HWND Handle() const { return hwnd_; }

protected:
    WindowProc() = default;
    ~WindowProc() {
        // Detached first: the derived object is gone, so no message of the window's end may reach it.
        if (hwnd_ != nullptr) {
            ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
            ::DestroyWindow(std::exchange(hwnd_, nullptr));
        }
    }

    // Registers the class and creates this object's window of it, hidden and without a parent.
    bool Create(HINSTANCE instance,
                const WindowClassInfo& windowClass,
                const wchar_t* title,
                DWORD style,
                DWORD extendedStyle,
                SIZE size) {
        if (!RegisterWindowClass(instance, windowClass.name, &Procedure, windowClass.style, windowClass.background,
                                 windowClass.icon))
            return false;
        ::CreateWindowExW(extendedStyle, windowClass.name, title, style, 0, 0, size.cx, size.cy, nullptr, nullptr,
                          instance, static_cast<Derived*>(this));
        return hwnd_ != nullptr;
    }

    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam) const {
        return ::DefWindowProcW(hwnd_, message, wParam, lParam);
    }

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        Derived* self = nullptr;
        if (message == WM_NCCREATE) {
            self = static_cast<Derived*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
            self->hwnd_ = hwnd;
        } else {
            self = reinterpret_cast<Derived*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        }
        if (self == nullptr)
            return ::DefWindowProcW(hwnd, message, wParam, lParam);
        LRESULT result = 0;
        if (!Guarded([&] { result = self->HandleMessage(message, wParam, lParam); }))
            result = ::DefWindowProcW(hwnd, message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            self->hwnd_ = nullptr;
        }
        return result;
    }

    HWND hwnd_ = nullptr;
};

// Sends the messages of a window that another class made (a common control) to a member function of owner first,
// from construction until destruction or the window's WM_NCDESTROY, whichever comes first.
template <typename Owner>
class Subclass {
public:
    using Handler = LRESULT (Owner::*)(UINT message, WPARAM wParam, LPARAM lParam);

    Subclass(HWND hwnd, Owner& owner, Handler handler) : hwnd_(hwnd), owner_(owner), handler_(handler) {
        if (hwnd_ != nullptr && !::SetWindowSubclass(hwnd_, &Procedure, Id(), reinterpret_cast<DWORD_PTR>(this)))
            hwnd_ = nullptr;
    }
    Subclass(const Subclass&) = delete;
    Subclass& operator=(const Subclass&) = delete;
    ~Subclass() {
        if (hwnd_ != nullptr)
            ::RemoveWindowSubclass(hwnd_, &Procedure, Id());
    }

    // The window's own handling, for a handler that adds to it or leaves a message alone.
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam) const {
        return ::DefSubclassProc(hwnd_, message, wParam, lParam);
    }

private:
    UINT_PTR Id() const { return reinterpret_cast<UINT_PTR>(this); }

    static LRESULT CALLBACK
    Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data) {
        auto* self = reinterpret_cast<Subclass*>(data);
        if (message == WM_NCDESTROY) {
            ::RemoveWindowSubclass(hwnd, &Procedure, id);
            self->hwnd_ = nullptr;
            return ::DefSubclassProc(hwnd, message, wParam, lParam);
        }
        LRESULT result = 0;
        if (Guarded([&] { result = (self->owner_.*self->handler_)(message, wParam, lParam); }))
            return result;
        return ::DefSubclassProc(hwnd, message, wParam, lParam);
    }

    HWND hwnd_;
    Owner& owner_;
    Handler handler_;
};

}  // namespace nimbrel::win32
