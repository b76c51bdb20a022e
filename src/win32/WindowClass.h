// What every window of the program stands on: its object known from WM_NCCREATE on, and one exception barrier
// between the system's message dispatch and the program.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <utility>

namespace nimbrel::win32 {

// Posted to the top-level window of one whose procedure stopped an exception: what the handler left half done, a
// move without the state that goes with it, is put right from the message loop.
inline constexpr UINT kPutBackAfterError = WM_APP + 2;

// For the catch (...) of a window procedure, where every exception stops: tells the debugger what, in every build, and
// posts kPutBackAfterError to window's top-level window.
void ReportCaught(HWND window) noexcept;

// The base of each window class of the program, which owns its window. Derived registers its class with Register,
// passes itself to CreateWindowEx, and its HandleMessage receives every message until WM_NCDESTROY.
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

    // False when the class is not registered and cannot be.
    static bool Register(HINSTANCE instance,
                         const wchar_t* name,
                         UINT style = 0,
                         HBRUSH background = nullptr,
                         HICON icon = nullptr) {
        WNDCLASSEXW wc{sizeof(wc), style,   &Procedure, 0,      0, instance, icon, ::LoadCursorW(nullptr, IDC_ARROW),
                       background, nullptr, name,       nullptr};
        return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }

    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam) const {
        return ::DefWindowProcW(hwnd_, message, wParam, lParam);
    }

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            auto* created = static_cast<Derived*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
            static_cast<WindowProc*>(created)->hwnd_ = hwnd;
        }
        auto* self = reinterpret_cast<Derived*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self != nullptr && message == WM_NCDESTROY) {
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            static_cast<WindowProc*>(self)->hwnd_ = nullptr;
        } else if (self != nullptr) {
            try {
                return self->HandleMessage(message, wParam, lParam);
            } catch (...) {
                ReportCaught(hwnd);
            }
        }
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
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
        if (!::SetWindowSubclass(hwnd_, &Procedure, Id(), reinterpret_cast<DWORD_PTR>(this)))
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
        } else {
            try {
                return (self->owner_.*self->handler_)(message, wParam, lParam);
            } catch (...) {
                ReportCaught(hwnd);
            }
        }
        return ::DefSubclassProc(hwnd, message, wParam, lParam);
    }

    HWND hwnd_;
    Owner& owner_;
    Handler handler_;
};

}  // namespace nimbrel::win32
