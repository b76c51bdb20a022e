#include "win32/WindowClass.h"

#include <exception>
#include <string>

#include "win32/Strings.h"

namespace nimbrel::win32 {

void ReportCaught(HWND window) noexcept {
    try {
        std::wstring text = L"Nimbrel: a window procedure stopped an exception";
        try {
            throw;
        } catch (const std::exception& caught) {
            text += L": " + Utf8ToWide(caught.what());
        } catch (...) {
        }
        ::OutputDebugStringW((text + L"\n").c_str());
    } catch (...) {
        ::OutputDebugStringW(L"Nimbrel: a window procedure stopped an exception\n");
    }
    if (HWND root = ::GetAncestor(window, GA_ROOT))
        ::PostMessageW(root, kPutBackAfterError, 0, 0);
}

}  // namespace nimbrel::win32
