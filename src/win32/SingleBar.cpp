#include "win32/SingleBar.h"

#include <cstdint>
#include <string>

#include "win32/MainWindow.h"
#include "win32/Shell.h"

namespace nimbrel::win32 {
namespace {

// A bar that has claimed its folder creates its window at once; a bar that runs answers at once.
constexpr DWORD kWindowWaitMs = 3000;
constexpr DWORD kAnswerWaitMs = 3000;

std::wstring WithoutLongPathPrefix(std::wstring path) {
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0)
        return L"\\" + path.substr(7);
    if (path.rfind(L"\\\\?\\", 0) == 0)
        return path.substr(4);
    return path;
}

std::wstring UpperCase(std::wstring_view text) {
    if (text.empty())
        return {};
    std::wstring upper(text.size(), L'\0');
    const int length =
        ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, text.data(), static_cast<int>(text.size()),
                        upper.data(), static_cast<int>(upper.size()), nullptr, nullptr, 0);
    return length > 0 ? upper.substr(0, static_cast<std::size_t>(length)) : std::wstring(text);
}

// The window of the bar whose program lies in the folder, and its process; null when there is none.
HWND FindBarWindow(const std::wstring& folder, DWORD& processId) {
    for (HWND window = ::FindWindowExW(nullptr, nullptr, MainWindow::kClassName, nullptr); window != nullptr;
         window = ::FindWindowExW(nullptr, window, MainWindow::kClassName, nullptr)) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(window, &pid);
        if (pid == 0 || pid == ::GetCurrentProcessId())
            continue;
        KernelHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
        if (!process)
            continue;
        std::wstring image(32768, L'\0');
        DWORD size = static_cast<DWORD>(image.size());
        if (!::QueryFullProcessImageNameW(process.get(), 0, image.data(), &size))
            continue;
        image.resize(size);
        if (SamePath(CanonicalPath(FolderOf(image)), folder)) {
            processId = pid;
            return window;
        }
    }
    return nullptr;
}

}  // namespace

std::wstring CanonicalPath(const std::wstring& path) {
    KernelHandle file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file)
        return path;
    std::wstring resolved(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetFinalPathNameByHandleW(file.get(), resolved.data(),
                                                         static_cast<DWORD>(resolved.size()), FILE_NAME_NORMALIZED);
        if (length == 0)
            return path;
        if (length < resolved.size()) {
            resolved.resize(length);
            return WithoutLongPathPrefix(resolved);
        }
        resolved.resize(length);
    }
}

bool SamePath(std::wstring_view a, std::wstring_view b) {
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

std::wstring BarMutexName(std::wstring_view canonicalFolder) {
    // FNV-1a over the upper-cased UTF-16 text: a folder path may be longer than a kernel object's name.
    std::uint64_t hash = 14695981039346656037ULL;
    for (const wchar_t unit : UpperCase(canonicalFolder)) {
        hash ^= static_cast<std::uint16_t>(unit);
        hash *= 1099511628211ULL;
    }
    std::wstring name = L"Local\\Nimbrel.Bar.";
    for (int shift = 60; shift >= 0; shift -= 4)
        name.push_back(L"0123456789abcdef"[(hash >> shift) & 0xF]);
    return name;
}

BarClaim::BarClaim(std::wstring_view canonicalFolder) {
    const std::wstring name = BarMutexName(canonicalFolder);
    mutex_.reset(::CreateMutexW(nullptr, FALSE, name.c_str()));
    const DWORD error = ::GetLastError();
    // Access denied means that the mutex exists, made by a bar that runs with other rights. Any other failure must
    // not keep the bar from starting.
    won_ = mutex_ ? error != ERROR_ALREADY_EXISTS : error != ERROR_ACCESS_DENIED;
}

bool RecallRunningBar(const std::wstring& canonicalFolder) {
    const UINT recall = ::RegisterWindowMessageW(MainWindow::kRecallMessage);
    if (recall == 0)
        return false;
    const DWORD start = ::GetTickCount();
    DWORD pid = 0;
    HWND bar = FindBarWindow(canonicalFolder, pid);
    while (bar == nullptr && ::GetTickCount() - start < kWindowWaitMs) {
        ::Sleep(100);
        bar = FindBarWindow(canonicalFolder, pid);
    }
    if (bar == nullptr)
        return false;
    // The running bar takes the foreground and the keyboard only with our leave, which Windows grants only while this
    // start may take the foreground itself; without it the bar comes as at its recall edge.
    if (!::AllowSetForegroundWindow(pid)) {
        const std::wstring line = L"Nimbrel: the running bar may not take the foreground (error " +
                                  std::to_wstring(::GetLastError()) + L")\n";
        ::OutputDebugStringW(line.c_str());
    }
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(bar, recall, 0, 0, SMTO_ABORTIFHUNG, kAnswerWaitMs, &result) != 0;
}

}  // namespace nimbrel::win32
