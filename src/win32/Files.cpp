#include "win32/Files.h"

#include <windows.h>

#include <climits>

#include "win32/Handles.h"
#include "win32/Strings.h"

namespace nimbrel::win32 {

ReadResult FileSystem::ReadTextFile(const std::string& path) {
    ReadResult result;
    KernelHandle file(::CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        result.status =
            error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ReadStatus::Missing : ReadStatus::Failed;
        return result;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file.get(), &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        result.status = ReadStatus::Failed;
        return result;
    }
    std::string bytes;
    char chunk[4096];
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.get(), chunk, sizeof(chunk), &read, nullptr)) {
            result.status = ReadStatus::Failed;
            return result;
        }
        if (read == 0)
            break;
        bytes.append(chunk, read);
    }
    result.status = ReadStatus::Ok;
    result.text = AnsiToUtf8(bytes);
    return result;
}

bool FileSystem::WriteTextFile(const std::string& path, const std::string& text) {
    KernelHandle file(::CreateFileW(Utf8ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    const std::string bytes = Utf8ToAnsi(text);
    std::size_t written = 0;
    while (written < bytes.size()) {
        const std::size_t left = bytes.size() - written;
        const DWORD ask =
            left > static_cast<std::size_t>(INT_MAX) ? static_cast<DWORD>(INT_MAX) : static_cast<DWORD>(left);
        DWORD done = 0;
        if (!::WriteFile(file.get(), bytes.data() + written, ask, &done, nullptr) || done == 0)
            return false;
        written += done;
    }
    return true;
}

bool FileSystem::IsOrdinaryFile(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(Utf8ToWide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

}  // namespace nimbrel::win32
