#include "win32/WineQuirks.h"

#include <windows.h>

namespace nimbrel::win32 {
namespace {

// True when ntdll is Wine's (it exports wine_get_version).
bool RunningOnWine() {
    static const bool wine = [] {
        HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
        return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }();
    return wine;
}

}  // namespace

bool MenuPicturesDrawnByProgram() {
    return RunningOnWine();
}

bool TipTimerOutlivesDeactivation() {
    return RunningOnWine();
}

bool DelayImportsSearchProgramFolder() {
    return RunningOnWine();
}

bool ReplaceFileLeavesLitter() {
    return RunningOnWine();
}

bool SubtreeWatchMissesFoldersAlreadyThere() {
    return RunningOnWine();
}

bool PropertiesOnlyThroughContextMenu() {
    return RunningOnWine();
}

}  // namespace nimbrel::win32
