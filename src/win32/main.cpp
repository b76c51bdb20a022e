// Nimbrel's entry point: the platform first, then the main window's load event, then the message loop.
#include <windows.h>

#include <commctrl.h>

#include <cstdlib>

#include "app/frmMain.h"
#include "win32/Com.h"
#include "win32/DllSearch.h"
#include "win32/SingleBar.h"
#include "win32/Strings.h"
#include "win32/Win32Platform.h"

// Takes the place of the static C++ library's verbose handler for std::terminate, which would bring its name
// demangler and printf (about 60 KB) only to write to a standard error that a windowed program does not have.
// Nothing reaches std::terminate here anyway: wWinMain and the window procedure catch every exception.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
}  // namespace __gnu_cxx

namespace {

// Points the window's events at the form for as long as the form lives.
class FormEvents {
public:
    FormEvents(nimbrel::win32::MainWindow& window, nimbrel::frmMain& form) : window_(window) {
        window_.SetEvents(&form);
    }
    FormEvents(const FormEvents&) = delete;
    FormEvents& operator=(const FormEvents&) = delete;
    ~FormEvents() { window_.SetEvents(nullptr); }

private:
    nimbrel::win32::MainWindow& window_;
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
    const nimbrel::win32::ComApartment apartment;

    nimbrel::win32::Win32Platform platform(instance);
    if (!platform.Ready()) {
        ::MessageBoxW(nullptr, L"Nimbrel could not create its window.", L"Nimbrel", MB_ICONSTOP);
        return 1;
    }
    nimbrel::frmMain form(platform.Services());
    const FormEvents events(platform.Window(), form);
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
        // Decided before the window exists and before the settings file is read: a second start only hands over.
        const std::wstring folder =
            nimbrel::win32::CanonicalPath(nimbrel::win32::Utf8ToWide(nimbrel::win32::Process().ExecutableFolder()));
        const nimbrel::win32::BarClaim claim(folder);
        // A bar that holds the folder but does not answer (hung, or crashed and not yet gone) never keeps this
        // start from running.
        if (!claim.Won() && nimbrel::win32::RecallRunningBar(folder))
            return 0;
        return Run(instance);
    } catch (...) {
        ::MessageBoxW(nullptr, L"Nimbrel stopped after an unexpected error.", L"Nimbrel", MB_ICONSTOP);
        return 1;
    }
}
