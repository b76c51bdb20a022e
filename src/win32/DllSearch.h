// Where the program's DLLs come from: the system folder only, so that a DLL put beside Nimbrel.exe never runs.
#pragma once

#include <windows.h>

namespace nimbrel::win32 {

// Loads a DLL from the system folder by its full path and keeps it for the whole run: a later load by name then
// finds the module already loaded and looks nowhere else. The altered search path takes the DLL's own
// dependencies from the system folder too. Null when there is no such DLL.
HMODULE SystemLibrary(const wchar_t* name);

// Narrows the DLL search of the whole process to the system folder. wWinMain calls it before anything loads a
// DLL that is not a KnownDLL; the import table holds only kernel32 and KnownDLLs, the rest is delay-loaded.
// False when neither way was available or the preloads failed.
bool LoadDllsOnlyFromSystemFolder();

}  // namespace nimbrel::win32
