// What the lab's small Windows programs share: handles that close themselves, UTF-8 text, the stand-ins' log and
// records on standard output (one a line, fields separated by tabs, text fields last).
#pragma once

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

namespace lab {

struct HandleCloser {
    void operator()(HANDLE h) const noexcept {
        if (h != nullptr && h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
        }
    }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

inline std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

// The full path of a module of this process; nullptr gives its program.
inline std::wstring ModulePath(HMODULE module) {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size())));
    return path;
}

// Appends one line to C:\lab\log.txt; another stand-in may be writing at the same moment, so a sharing failure is
// retried for a while.
inline bool AppendToLog(const std::wstring& line) {
    const std::string bytes = ToUtf8(line + L"\r\n");
    for (int attempt = 0; attempt < 100; ++attempt) {
        UniqueHandle file(CreateFileW(L"C:\\lab\\log.txt", FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.get() != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
            return written == bytes.size();
        }
        Sleep(20);
    }
    return false;
}

inline void Emit(const std::wstring& line) {
    const std::string bytes = ToUtf8(line + L"\n");
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

inline std::wstring Num(long long value) {
    return std::to_wstring(value);
}

inline std::wstring Hex(const void* value) {
    wchar_t text[32];
    std::swprintf(text, 32, L"0x%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(value)));
    return text;
}

inline std::wstring Rect(const RECT& r) {
    return Num(r.left) + L"\t" + Num(r.top) + L"\t" + Num(r.right) + L"\t" + Num(r.bottom);
}

inline std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

inline std::wstring TitleOf(HWND window) {
    wchar_t title[512] = {};
    GetWindowTextW(window, title, 512);
    return title;
}

inline DWORD ProcessOf(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

// The top-level windows for which match(window) holds, front to back.
template <typename Match>
std::vector<HWND> TopWindows(Match match) {
    std::vector<HWND> all;
    EnumWindows(
        [](HWND window, LPARAM param) {
            reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    std::vector<HWND> found;
    for (HWND window : all) {
        if (match(window)) {
            found.push_back(window);
        }
    }
    return found;
}

// The visible popup menus of process pid.
inline std::vector<HWND> OpenMenus(DWORD pid) {
    return TopWindows([pid](HWND window) {
        return (pid == 0 || ProcessOf(window) == pid) && IsWindowVisible(window) && ClassOf(window) == L"#32768";
    });
}

}  // namespace lab
