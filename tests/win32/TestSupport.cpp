#include "TestSupport.h"

#include <shellapi.h>

#include <vector>

#include "win32/Handles.h"

namespace nimbrel::win32::test {

ScratchFolder::ScratchFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, temp);
    std::wstring base(temp);
    if (!base.empty() && base.back() == L'\\')
        base.pop_back();
    for (unsigned attempt = 0; attempt < 1000; ++attempt) {
        std::wstring candidate = base + L"\\nimbrel-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                 std::to_wstring(::GetTickCount()) + L"-" + std::to_wstring(attempt);
        if (::CreateDirectoryW(candidate.c_str(), nullptr)) {
            path_ = candidate;
            return;
        }
    }
}

ScratchFolder::~ScratchFolder() {
    if (path_.empty())
        return;
    // Attributes set by a test would stop the removal.
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW((path_ + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..")
                ::SetFileAttributesW(Join(name).c_str(), FILE_ATTRIBUTE_NORMAL);
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
    std::wstring from = path_;
    from.push_back(L'\0');  // the list ends with a second NUL
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    ::SHFileOperationW(&operation);
}

bool WriteRawFile(const std::wstring& path, const std::string& bytes) {
    KernelHandle file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    DWORD written = 0;
    return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

std::string ReadRawFile(const std::wstring& path) {
    KernelHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return {};
    std::string bytes;
    char chunk[1024];
    DWORD read = 0;
    while (::ReadFile(file.get(), chunk, sizeof(chunk), &read, nullptr) && read > 0)
        bytes.append(chunk, read);
    return bytes;
}

std::wstring TestProgramFolder() {
    std::vector<wchar_t> buffer(32768);
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    std::wstring path(buffer.data(), length);
    return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring PlaceRecorder(const ScratchFolder& folder, const std::wstring& subfolder, const std::wstring& name) {
    const std::wstring target = folder.Join(subfolder);
    ::CreateDirectoryW(target.c_str(), nullptr);
    const std::wstring path = target + L"\\" + name;
    const std::wstring source = TestProgramFolder() + L"\\argv_recorder.exe";
    ::CopyFileW(source.c_str(), path.c_str(), FALSE);
    return path;
}

std::string WaitForReport(const std::wstring& recorder) {
    const std::wstring report = recorder + L".txt";
    for (int i = 0; i < 200; ++i) {
        if (::GetFileAttributesW(report.c_str()) != INVALID_FILE_ATTRIBUTES)
            return ReadRawFile(report);
        ::Sleep(50);
    }
    return {};
}

std::vector<std::string> ReportedArguments(const std::string& report) {
    // The command line, then one argument a line, then "show=".
    std::vector<std::string> lines;
    std::size_t start = report.find('\n');
    while (start != std::string::npos && start + 1 < report.size()) {
        const std::size_t end = report.find('\n', start + 1);
        const std::string line = report.substr(start + 1, end - start - 1);
        if (line.rfind("show=", 0) == 0)
            break;
        lines.push_back(line);
        start = end;
    }
    return lines;
}

void PumpFor(DWORD milliseconds) {
    const DWORD start = ::GetTickCount();
    MSG msg{};
    while (::GetTickCount() - start < milliseconds) {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(5);
    }
}

}  // namespace nimbrel::win32::test
