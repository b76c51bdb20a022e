// A stand-in for a launched program or a document handler: it appends one line to C:\e2e\log.txt
// naming itself and the command line it was given, then exits. The tag of the line tells which
// stand-in ran (RECORDER_KIND 0: a catalogued program, 1: a planted trap, 2: an association handler).
#include <windows.h>

#include <memory>
#include <string>

namespace {

#ifndef RECORDER_KIND
#define RECORDER_KIND 0
#endif

constexpr const wchar_t* kTags[] = {L"RUN", L"TRAP", L"OPEN"};
constexpr const wchar_t* kLogPath = L"C:\\e2e\\log.txt";

struct HandleCloser {
    void operator()(HANDLE h) const noexcept {
        if (h != nullptr && h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
        }
    }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::wstring ModulePath() {
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length);
    return path;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::wstring line =
        std::wstring(kTags[RECORDER_KIND]) + L"\t" + ModulePath() + L"\t" + GetCommandLineW() + L"\r\n";
    const std::string bytes = ToUtf8(line);
    // Another stand-in may be writing at the same moment; retry a sharing failure for a while.
    for (int attempt = 0; attempt < 100; ++attempt) {
        UniqueHandle file(CreateFileW(kLogPath, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.get() != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
            return written == bytes.size() ? 0 : 1;
        }
        Sleep(20);
    }
    return 2;
}
