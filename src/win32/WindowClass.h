// What every window class of the program needs: registration once per process, and the object behind a
// window, handed to CreateWindowEx and kept in GWLP_USERDATA from WM_NCCREATE on.
#pragma once

#include <windows.h>

namespace nimbrel::win32 {

// Registers the class unless it already is; false when it cannot be registered.
bool RegisterWindowClass(HINSTANCE instance,
                         const wchar_t* name,
                         WNDPROC procedure,
                         UINT style = 0,
                         HBRUSH background = nullptr,
                         HICON icon = nullptr);

// The object of window hwnd, taken from CREATESTRUCT at WM_NCCREATE; null before that and after WM_NCDESTROY.
template <typename T>
T* WindowObject(HWND hwnd, UINT message, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* object = static_cast<T*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
        return object;
    }
    auto* object = reinterpret_cast<T*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_NCDESTROY)
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    return object;
}

}  // namespace nimbrel::win32
