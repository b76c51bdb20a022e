// Nimbrel's entry point: the platform first, then the main window's load event, then the message loop.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "app/frmMain.h"
#include "win32/DllSearch.h"
#include "win32/Win32Platform.h"

namespace {

// The single-threaded apartment that the shell automation object needs, for the whole run.
class ComApartment {
public:
    ComApartment() : initialised_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (initialised_)
            ::CoUninitialize();
    }

private:
    bool initialised_;
};

int RunMessageLoop() {
    MSG msg{};
    for (;;) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0)
            return static_cast<int>(msg.wParam);
        if (got < 0)
            return 1;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

int Run(HINSTANCE instance) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_BAR_CLASSES;
    ::InitCommonControlsEx(&controls);
    ComApartment apartment;

    nimbrel::win32::Win32Platform platform(instance);
    if (!platform.Ready()) {
        ::MessageBoxW(nullptr, L"Nimbrel could not create its window.", L"Nimbrel", MB_ICONSTOP);
        return 1;
    }
    nimbrel::frmMain form(platform.Services());
    switch (form.LoadMainWindow()) {
        case nimbrel::frmMain::LoadResult::Failed:
            ::MessageBoxW(nullptr, L"Nimbrel could not build its command bar.", L"Nimbrel", MB_ICONSTOP);
            return 1;
        case nimbrel::frmMain::LoadResult::Ended:
            return 0;
        case nimbrel::frmMain::LoadResult::Shown:
            break;
    }
    return RunMessageLoop();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // Before comctl32, uxtheme or anything else that is not a KnownDLL is loaded.
    nimbrel::win32::LoadDllsOnlyFromSystemFolder();
    try {
        return Run(instance);
    } catch (...) {
        ::MessageBoxW(nullptr, L"Nimbrel stopped after an unexpected error.", L"Nimbrel", MB_ICONSTOP);
        return 1;
    }
}
