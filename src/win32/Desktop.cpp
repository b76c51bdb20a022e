#include "win32/Desktop.h"

#include <windows.h>

#include <shellapi.h>

#include <vector>

#include "win32/MainWindow.h"
#include "win32/MenuLoop.h"
#include "win32/Strings.h"
#include "win32/Units.h"

namespace nimbrel::win32 {
namespace {

// ABM_GETAUTOHIDEBAREX of Windows 8, which the headers give only to programs that need Windows 8.
constexpr DWORD kGetAutoHideBarEx = 0x0000000b;

bool IsInputMessage(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK) || message == WM_INPUT;
}

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (::GetMonitorInfoW(monitor, &info)) {
        const RECT& rc = info.rcMonitor;
        reinterpret_cast<std::vector<Monitor>*>(data)->push_back(
            {{rc.left, rc.top, rc.right, rc.bottom}, (info.dwFlags & MONITORINFOF_PRIMARY) != 0});
    }
    return TRUE;
}

}  // namespace

float Screen::Width() const {
    return PixelsToTwips(::GetSystemMetrics(SM_CXSCREEN), window_.DisplayDpi().x);
}

float Screen::Height() const {
    return PixelsToTwips(::GetSystemMetrics(SM_CYSCREEN), window_.DisplayDpi().y);
}

float Screen::TwipsPerPixelX() const {
    return TwipsPerPixel(window_.DisplayDpi().x);
}

float Screen::TwipsPerPixelY() const {
    return TwipsPerPixel(window_.DisplayDpi().y);
}

TwipsRect Screen::WorkArea() const {
    RECT area{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (::GetMonitorInfoW(::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &info))
        area = info.rcWork;
    const Dpi& dpi = window_.DisplayDpi();
    return {PixelsToTwips(area.left, dpi.x), PixelsToTwips(area.top, dpi.y), PixelsToTwips(area.right, dpi.x),
            PixelsToTwips(area.bottom, dpi.y)};
}

std::vector<Monitor> Screen::Monitors() const {
    std::vector<Monitor> monitors;
    ::EnumDisplayMonitors(nullptr, nullptr, &AddMonitor, reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

float Screen::AutoHideTaskbar(Edge edge) const {
    MONITORINFO primary{};
    primary.cbSize = sizeof(primary);
    if (!::GetMonitorInfoW(::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &primary))
        return 0;
    APPBARDATA query{};
    query.cbSize = sizeof(query);
    query.uEdge = edge == Edge::Top     ? ABE_TOP
                  : edge == Edge::Left  ? ABE_LEFT
                  : edge == Edge::Right ? ABE_RIGHT
                                        : ABE_BOTTOM;
    query.rc = primary.rcMonitor;
    // The monitor's own question where the system knows it (Windows 8 and later); before that, the primary's.
    HWND bar = reinterpret_cast<HWND>(::SHAppBarMessage(kGetAutoHideBarEx, &query));
    if (bar == nullptr)
        bar = reinterpret_cast<HWND>(::SHAppBarMessage(ABM_GETAUTOHIDEBAR, &query));
    if (bar == nullptr)
        return 0;
    APPBARDATA taskbar{};
    taskbar.cbSize = sizeof(taskbar);
    if (!::SHAppBarMessage(ABM_GETTASKBARPOS, &taskbar))
        return 0;
    // The rectangle it has when shown; only its thickness across the edge counts.
    const RECT& rc = taskbar.rc;
    const Dpi& dpi = window_.DisplayDpi();
    return Vertical(edge) ? PixelsToTwips(rc.right - rc.left, dpi.x) : PixelsToTwips(rc.bottom - rc.top, dpi.y);
}

bool Screen::UpdateScale() {
    return window_.UpdateScale();
}

bool Pointer::GetCursorPos(std::int32_t& x, std::int32_t& y) {
    POINT point{};
    if (!::GetCursorPos(&point))
        return false;
    x = point.x;
    y = point.y;
    return true;
}

void MessagePump::DoEvents() {
    // While a menu's own loop waits for the user's click, take only timer ticks, repaints and posted messages, and
    // leave the mouse and the keyboard to the menu.
    const bool menuOpen = menus_.Open();
    const UINT queues = menuOpen ? PM_QS_POSTMESSAGE | PM_QS_PAINT | PM_QS_SENDMESSAGE : 0;
    std::vector<MSG> input;
    MSG msg{};
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | queues)) {
        if (msg.message == WM_QUIT) {
            // The main loop must still see it.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (menuOpen && IsInputMessage(msg.message)) {
            // Posted rather than typed: it goes back to the queue for the menu's loop once we are done.
            input.push_back(msg);
            continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    for (const MSG& held : input)
        ::PostMessageW(held.hwnd, held.message, held.wParam, held.lParam);
}

void MessagePump::Post(std::function<void()> task) {
    window_.Post(std::move(task));
}

int MessageBoxes::Show(const std::string& text, unsigned style, const std::string& title) {
    const std::wstring caption = title.empty() ? std::wstring(MainWindow::kTitle) : Utf8ToWide(title);
    return ::MessageBoxW(nullptr, Utf8ToWide(text).c_str(), caption.c_str(), style);
}

}  // namespace nimbrel::win32
