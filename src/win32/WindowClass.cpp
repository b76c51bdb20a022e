#include "win32/WindowClass.h"

#include <string>

#include "win32/Strings.h"

namespace nimbrel::win32 {

bool RegisterWindowClass(HINSTANCE instance,
                         const wchar_t* name,
                         WNDPROC procedure,
                         UINT style,
                         HBRUSH background,
                         HICON icon) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (::GetClassInfoExW(instance, name, &existing))
        return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = style;
    wc.lpfnWndProc = procedure;
    wc.hInstance = instance;
    wc.hIcon = icon;
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void ReportCaught([[maybe_unused]] const char* what) noexcept {
#ifndef NDEBUG
    try {
        const std::wstring text = L"Nimbrel: a window procedure stopped an exception: " +
                                  (what != nullptr ? Utf8ToWide(what) : std::wstring(L"of an unknown type")) + L"\n";
        ::OutputDebugStringW(text.c_str());
    } catch (...) {
        ::OutputDebugStringW(L"Nimbrel: a window procedure stopped an exception\n");
    }
#endif
}

}  // namespace nimbrel::win32
