/* The smallest honest Windows program to compare the bar with: it registers a class, creates one window of the
 * bar's docked shape (full screen width, 30 pixels high, at the top), shows it and runs a message loop. Nothing
 * else: no common controls, no COM, no timers. Built by the same MinGW-w64 toolchain, statically linked. */
#include <windows.h>

/* Built a second time with BARE_WITH_BAR_DLLS as "bare-dlls.exe": the same window, but the program also loads and
 * initialises the system libraries that the bar imports (common controls, COM, shell, themes, alpha blending), so
 * that the benchmark can tell the libraries' share of the start-up from the bar's own. */
#ifdef BARE_WITH_BAR_DLLS
#include <commctrl.h>
#include <objbase.h>
#include <oleauto.h>
#include <shellapi.h>
#include <uxtheme.h>
#define BARE_TITLE L"BareDlls"
#else
#define BARE_TITLE L"Bare"
#endif

static LRESULT CALLBACK BareWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR command_line, int show) {
    (void)previous;
    (void)command_line;
#ifdef BARE_WITH_BAR_DLLS
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    const HRESULT com = CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    BSTR probe = SysAllocString(L"x"); /* oleaut32 */
    SysFreeString(probe);
    SHFILEINFOW info; /* shell32 */
    SHGetFileInfoW(L"C:\\", 0, &info, sizeof(info), SHGFI_ATTRIBUTES);
    (void)IsThemeActive();                  /* uxtheme */
    (void)GetStockObject(DEFAULT_GUI_FONT); /* gdi32 */
    BOOL(WINAPI* volatile alpha_blend)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION) = AlphaBlend;
    (void)alpha_blend; /* msimg32 */
#endif
    WNDCLASSEXW wc = {0};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = BareWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"BareWindow";
    if (RegisterClassExW(&wc) == 0) {
        return 1;
    }
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, L"BareWindow", BARE_TITLE, WS_POPUP | WS_BORDER, 0, 0,
                                  GetSystemMetrics(SM_CXSCREEN), 30, NULL, NULL, instance, NULL);
    if (window == NULL) {
        return 1;
    }
    ShowWindow(window, show == SW_HIDE ? SW_SHOWNORMAL : show);
    UpdateWindow(window);
    MSG msg;
    while (GetMessageW(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
#ifdef BARE_WITH_BAR_DLLS
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
#endif
    return (int)msg.wParam;
}
