// Stand-in PDF reader for the package tests. The tests route the .pdf file type to this program; each start
// appends what it was asked to open to pdfopen.log beside the executable, so a test can see which document the
// Help button handed to the shell:
//   cmdline=<the whole command line>
//   arg=<first argument>
//   exists=<1 when the argument names an existing file>
//   pdf=<1 when that file starts with "%PDF-">
#include <windows.h>

#include <memory>
#include <string>

namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const noexcept {
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
        }
    }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

UniqueHandle OwnHandle(HANDLE handle) {
    return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr, nullptr);
    return result;
}

bool StartsWithPdfMagic(const std::wstring& path) {
    UniqueHandle file = OwnHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    char head[5] = {};
    DWORD read = 0;
    return ReadFile(file.get(), head, sizeof head, &read, nullptr) && read == sizeof head &&
           std::string(head, sizeof head) == "%PDF-";
}

std::wstring LogPath() {
    std::wstring path(MAX_PATH, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length);
    const size_t slash = path.find_last_of(L"\\/");
    return path.substr(0, slash == std::wstring::npos ? 0 : slash + 1) + L"pdfopen.log";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring argument = argc > 1 ? argv[1] : L"";
    const DWORD attributes = argument.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(argument.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;

    std::string record = "cmdline=" + ToUtf8(GetCommandLineW()) + "\r\n";
    record += "arg=" + ToUtf8(argument) + "\r\n";
    record += std::string("exists=") + (exists ? "1" : "0") + "\r\n";
    record += std::string("pdf=") + (exists && StartsWithPdfMagic(argument) ? "1" : "0") + "\r\n";

    UniqueHandle log = OwnHandle(CreateFileW(LogPath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!log) {
        return 2;
    }
    DWORD written = 0;
    return WriteFile(log.get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr) ? 0 : 3;
}
