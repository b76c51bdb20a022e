// Where the program's DLLs come from: the system folder only, so that a DLL put beside Nimbrel.exe never runs.
#pragma once

namespace nimbrel::win32 {

// Narrows the DLL search of the whole process to the system folder. wWinMain calls it before anything loads a
// DLL that is not a KnownDLL; the import table holds only kernel32 and KnownDLLs, the rest is delay-loaded.
// False when neither way was available or the preloads failed.
bool LoadDllsOnlyFromSystemFolder();

}  // namespace nimbrel::win32
