#include "win32/WineQuirks.h"

#include <windows.h>

namespace nimbrel::win32 {

bool RunningOnWine() {
    static const bool wine = [] {
        HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
        return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }();
    return wine;
}

bool MenuPicturesDrawnByProgram() {
    return RunningOnWine();
}

bool TipTimerOutlivesDeactivation() {
    return RunningOnWine();
}

bool ToolbarKeepsItsVisualStyle() {
    return RunningOnWine();
}

}  // namespace nimbrel::win32
