// Started by the process tests: writes its command line and its arguments, one a line, in UTF-8 to
// "<its own path>.txt", so that the test can see how it was started. With the one argument "--front" it is another
// program that takes activation instead: its window comes in front for a second and it ends, writing nothing.
#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

namespace {

std::string ToUtf8(const std::wstring& text) {
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int needed = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(needed), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, bytes.data(), needed, nullptr, nullptr);
    return bytes;
}

int TakeActivationForAWhile() {
    HWND window = ::CreateWindowExW(0, L"STATIC", L"Another program", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                                    nullptr, nullptr, nullptr);
    ::SetForegroundWindow(window);
    const DWORD start = ::GetTickCount();
    MSG msg{};
    while (::GetTickCount() - start < 1000) {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&msg);
        ::Sleep(10);
    }
    ::DestroyWindow(window);
    return 0;
}

}  // namespace

int main() {
    std::vector<wchar_t> self(32768);
    const DWORD length = ::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
    const std::wstring report = std::wstring(self.data(), length) + L".txt";

    const wchar_t* commandLine = ::GetCommandLineW();
    if (std::wstring(commandLine).find(L" --front") != std::wstring::npos)
        return TakeActivationForAWhile();
    std::string text = ToUtf8(commandLine) + "\n";
    int count = 0;
    if (wchar_t** argv = ::CommandLineToArgvW(commandLine, &count)) {
        for (int i = 0; i < count; ++i)
            text += ToUtf8(argv[i]) + "\n";
        ::LocalFree(argv);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    ::GetStartupInfoW(&startup);
    text += "show=" + std::to_string((startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : -1) + "\n";

    // Written to a side name first, so that the test never reads half a report.
    const std::wstring partial = report + L".part";
    HANDLE file =
        ::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(file);
    return ::MoveFileW(partial.c_str(), report.c_str()) ? 0 : 1;
}
