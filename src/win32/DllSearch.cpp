#include "win32/DllSearch.h"

#include <windows.h>

#include <string>

#include "win32/WineQuirks.h"

namespace nimbrel::win32 {
namespace {

template <std::size_t N>
bool LoadAllFromSystemFolder(const wchar_t* const (&names)[N]) {
    bool all = true;
    for (const wchar_t* name : names)
        all = SystemLibrary(name) != nullptr && all;
    return all;
}

// What the program and the common controls load by name later on.
constexpr const wchar_t* kLoadedByName[] = {L"uxtheme.dll", L"dwmapi.dll"};

// What Wine's own DLLs delay-load (see DelayImportsSearchProgramFolder).
constexpr const wchar_t* kDelayLoadedByWine[] = {L"msimg32.dll"};

}  // namespace

HMODULE SystemLibrary(const wchar_t* name) {
    wchar_t system[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    const std::wstring path = std::wstring(system, length) + L"\\" + name;
    return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

bool LoadDllsOnlyFromSystemFolder() {
    // Windows 8 and later, and Windows 7 with KB2533623.
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const auto setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    bool narrowed = setDefaultDllDirectories != nullptr && setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!narrowed) {
        // The program's own folder stays first in the search then. Take the current folder out, and load what
        // comes later by name from the system folder now. comctl32 is safe by name: the manifest's side-by-side
        // version 6 is looked up before any folder.
        const bool cleared = ::SetDllDirectoryW(L"") != FALSE;
        narrowed = LoadAllFromSystemFolder(kLoadedByName) && cleared;
    }
    if (DelayImportsSearchProgramFolder())
        narrowed = LoadAllFromSystemFolder(kDelayLoadedByWine) && narrowed;
    return narrowed;
}

}  // namespace nimbrel::win32
