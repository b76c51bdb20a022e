// A DLL planted beside Nimbrel.exe under the name of a system DLL (UxTheme.dll, MSIMG32.dll): when any process
// loads it, it appends "DLL <its own path> <the process's program>" to C:\e2e\log.txt. It exports nothing, so a
// program that imported from it would not start either.
#include <windows.h>

#include <string>

namespace {

std::wstring ModulePath(HMODULE module) {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size())));
    return path;
}

void Record(HMODULE self) {
    const std::wstring line = L"DLL\t" + ModulePath(self) + L"\t" + ModulePath(nullptr) + L"\r\n";
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), bytes.data(), size, nullptr, nullptr);
    HANDLE file = CreateFileW(L"C:\\e2e\\log.txt", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
    }
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        Record(instance);
    }
    return TRUE;
}
