// Loaded into the bar's process by probe.exe: reads every open popup menu of this process (item rectangles in
// screen pixels, identifiers, states and texts) and writes them to "<this library>.out", then unloads itself.
#include <vector>

#include "lab_program.h"

namespace {

using lab::Num;
using lab::Rect;

constexpr UINT kGetMenuHandle = 0x01E1;  // MN_GETHMENU

HMODULE g_self = nullptr;

std::wstring Describe() {
    const std::vector<HWND> windows = lab::OpenMenus(GetCurrentProcessId());
    std::wstring out;
    for (HWND window : windows) {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(window, kGetMenuHandle, 0, 0, SMTO_ABORTIFHUNG, 3000, &result);
        auto* menu = reinterpret_cast<HMENU>(result);
        RECT frame = {};
        GetWindowRect(window, &frame);
        const int count = menu != nullptr ? GetMenuItemCount(menu) : -1;
        out += L"MENU\t" + Num(static_cast<long long>(reinterpret_cast<uintptr_t>(window))) + L"\t" + Rect(frame) +
               L"\t" + Num(count) + L"\n";
        for (int i = 0; i < count; ++i) {
            RECT item = {};
            if (!GetMenuItemRect(nullptr, menu, static_cast<UINT>(i), &item)) {
                GetMenuItemRect(window, menu, static_cast<UINT>(i), &item);
            }
            wchar_t text[512] = {};
            MENUITEMINFOW info = {};
            info.cbSize = sizeof(info);
            info.fMask = MIIM_ID | MIIM_STATE | MIIM_FTYPE | MIIM_STRING;
            info.dwTypeData = text;
            info.cch = 511;
            GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
            out += L"ITEM\t" + Num(i) + L"\t" + Num(info.wID) + L"\t" + Num(info.fState) + L"\t" + Num(info.fType) +
                   L"\t" + Rect(item) + L"\t" + text + L"\n";
        }
    }
    if (windows.empty()) {
        out = L"NOMENU\n";
    }
    return out;
}

DWORD WINAPI Work(void*) {
    const std::wstring path = lab::ModulePath(g_self);
    const std::string data = lab::ToUtf8(Describe());
    // Written under another name first, so the reader never sees half a report.
    const std::wstring partial = path + L".part";
    const std::wstring done = path + L".out";
    HANDLE file =
        CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
        CloseHandle(file);
        MoveFileExW(partial.c_str(), done.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    FreeLibraryAndExitThread(g_self, 0);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_self = instance;
        // The work waits for the loader lock to be released: it sends messages to the menu's thread.
        HANDLE worker = CreateThread(nullptr, 0, Work, nullptr, 0, nullptr);
        if (worker != nullptr) {
            CloseHandle(worker);
        }
    }
    return TRUE;
}
