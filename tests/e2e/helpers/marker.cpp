// A DLL planted beside Nimbrel.exe under the name of a system DLL (UxTheme.dll, MSIMG32.dll): when any process
// loads it, it appends "DLL <its own path> <the process's program>" to C:\lab\log.txt. It exports nothing, so a
// program that imported from it would not start either.
#include "lab_program.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        lab::AppendToLog(L"DLL\t" + lab::ModulePath(instance) + L"\t" + lab::ModulePath(nullptr));
    }
    return TRUE;
}
