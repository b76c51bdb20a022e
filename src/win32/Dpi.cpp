#include "win32/Dpi.h"

#include "win32/DllSearch.h"
#include "win32/Handles.h"

namespace nimbrel::win32 {
namespace {

// Entry points that older systems lack are looked up at run time, so that the program still loads there.
template <typename Function>
Function User32Entry(const char* name) {
    HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr)
        return nullptr;
    // Through a plain function pointer: the compiler rightly distrusts a direct cast between signatures.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(user32, name)));
}

// shcore's GetDpiForMonitor, MDT_EFFECTIVE_DPI: Windows 8.1 and later.
using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
constexpr int kEffectiveDpi = 0;
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);

int ValidDpi(int dpi) {
    return dpi > 0 ? dpi : kDefaultDpi;
}

}  // namespace

Dpi SystemDpi() {
    WindowDc screen(nullptr);
    if (screen.get() == nullptr)
        return {};
    return {ValidDpi(::GetDeviceCaps(screen.get(), LOGPIXELSX)), ValidDpi(::GetDeviceCaps(screen.get(), LOGPIXELSY))};
}

Dpi PrimaryDpi() {
    static const auto getDpiForMonitor = [] {
        HMODULE shcore = SystemLibrary(L"shcore.dll");
        return shcore == nullptr ? nullptr
                                 : reinterpret_cast<GetDpiForMonitorFn>(
                                       reinterpret_cast<void (*)()>(::GetProcAddress(shcore, "GetDpiForMonitor")));
    }();
    if (getDpiForMonitor != nullptr) {
        UINT x = 0;
        UINT y = 0;
        HMONITOR primary = ::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
        if (SUCCEEDED(getDpiForMonitor(primary, kEffectiveDpi, &x, &y)) && x > 0 && y > 0)
            return {static_cast<int>(x), static_cast<int>(y)};
    }
    // Before Windows 8.1 every display has the system DPI, which a change of scale only alters at the next sign-in.
    return SystemDpi();
}

int WindowDpi(HWND window) {
    static const auto forWindow = User32Entry<GetDpiForWindowFn>("GetDpiForWindow");
    return forWindow != nullptr && window != nullptr ? static_cast<int>(forWindow(window)) : 0;
}

int ScaleToDpi(int pixelsAt96, int dpi) {
    return ::MulDiv(pixelsAt96, ValidDpi(dpi), kDefaultDpi);
}

int SmallIconSize(int dpi) {
    static const auto forDpi = User32Entry<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
    if (forDpi != nullptr) {
        const int size = forDpi(SM_CXSMICON, static_cast<UINT>(ValidDpi(dpi)));
        if (size > 0)
            return size;
    }
    // The system metric is for the system DPI; bring it to the display's.
    const int systemSize = ::GetSystemMetrics(SM_CXSMICON);
    return ::MulDiv(systemSize > 0 ? systemSize : 16, ValidDpi(dpi), SystemDpi().x);
}

LOGFONTW MessageFont(int dpi) {
    static const auto forDpi = User32Entry<SystemParametersInfoForDpiFn>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (forDpi != nullptr &&
        forDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, static_cast<UINT>(ValidDpi(dpi))))
        return metrics.lfMessageFont;
    if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        LOGFONTW fallback{};
        fallback.lfHeight = -ScaleToDpi(12, dpi);
        fallback.lfWeight = FW_NORMAL;
        fallback.lfCharSet = DEFAULT_CHARSET;
        return fallback;
    }
    metrics.lfMessageFont.lfHeight = ::MulDiv(metrics.lfMessageFont.lfHeight, ValidDpi(dpi), SystemDpi().y);
    return metrics.lfMessageFont;
}

}  // namespace nimbrel::win32
