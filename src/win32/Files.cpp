#include "win32/Files.h"

#include <windows.h>

#include <climits>
#include <utility>

#include "win32/Handles.h"
#include "win32/Strings.h"
#include "win32/WineQuirks.h"

namespace nimbrel::win32 {
namespace {

ReadResult Failed(DWORD error) {
    return {ReadStatus::Failed, {}, SystemReason(error)};
}

WriteResult NotWritten(DWORD error) {
    return {false, SystemReason(error)};
}

ReadResult ReadBytes(const std::string& path) {
    KernelHandle file(::CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return {ReadStatus::Missing, {}, {}};
        return Failed(error);
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file.get(), &info))
        return Failed(::GetLastError());
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return Failed(ERROR_ACCESS_DENIED);
    std::string bytes;
    char chunk[4096];
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.get(), chunk, sizeof(chunk), &read, nullptr))
            return Failed(::GetLastError());
        if (read == 0)
            break;
        bytes.append(chunk, read);
    }
    return {ReadStatus::Ok, std::move(bytes), {}};
}

bool WriteAll(HANDLE file, const std::string& bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const std::size_t left = bytes.size() - written;
        const DWORD ask =
            left > static_cast<std::size_t>(INT_MAX) ? static_cast<DWORD>(INT_MAX) : static_cast<DWORD>(left);
        DWORD done = 0;
        if (!::WriteFile(file, bytes.data() + written, ask, &done, nullptr))
            return false;
        if (done == 0) {
            ::SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        written += done;
    }
    return true;
}

// A file that is deleted when this goes, unless kept.
class TemporaryFile {
public:
    explicit TemporaryFile(std::wstring path) : path_(std::move(path)) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (!kept_)
            ::DeleteFileW(path_.c_str());
    }
    const std::wstring& Path() const { return path_; }
    void Keep() { kept_ = true; }

private:
    std::wstring path_;
    bool kept_ = false;
};

// Creates a new file beside target for writing, named after it; on failure returns nothing with the error set.
KernelHandle CreateFileBeside(const std::wstring& target, std::wstring& name) {
    // A name left by a run that ended half-way, with this process's id then, is skipped.
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        name = target + L"." + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(attempt) + L".tmp";
        KernelHandle file(
            ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file || (::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS))
            return file;
    }
    return KernelHandle();
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// ReplaceFileW's errors for a file system that does not support it.
bool CannotReplace(DWORD error) {
    return error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_PARAMETER;
}

// Why the file may not be deleted now (another program holds it without sharing the deletion); 0 when it may.
DWORD DeletionRefused(const std::wstring& path) {
    const KernelHandle probe(::CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return probe ? ERROR_SUCCESS : ::GetLastError();
}

}  // namespace

ReadResult FileSystem::ReadTextFile(const std::string& path) {
    ReadResult result = ReadBytes(path);
    if (result.status == ReadStatus::Ok)
        result.text = AnsiToUtf8(result.text);
    return result;
}

bool FileSystem::WriteTextFile(const std::string& path, const std::string& text) {
    KernelHandle file(::CreateFileW(Utf8ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && WriteAll(file.get(), Utf8ToAnsi(text));
}

ReadResult FileSystem::ReadFileBytes(const std::string& path) {
    return ReadBytes(path);
}

WriteResult FileSystem::ReplaceFileBytes(const std::string& path, const std::string& bytes) {
    const std::wstring target = Utf8ToWide(path);
    std::wstring name;
    KernelHandle file = CreateFileBeside(target, name);
    if (!file)
        return NotWritten(::GetLastError());
    TemporaryFile temporary(name);
    const bool flushed = WriteAll(file.get(), bytes) && ::FlushFileBuffers(file.get());
    const DWORD writeError = ::GetLastError();
    file.reset();  // closed before the temporary file can be deleted or moved
    if (!flushed)
        return NotWritten(writeError);

    const bool existed = Exists(target);
    if (existed && ReplaceFileLeavesLitter()) {
        if (const DWORD refused = DeletionRefused(target); refused != ERROR_SUCCESS)
            return NotWritten(refused);
    }
    if (existed) {
        if (::ReplaceFileW(target.c_str(), temporary.Path().c_str(), nullptr,
                           REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr, nullptr)) {
            temporary.Keep();
            return {true, {}};
        }
        const DWORD error = ::GetLastError();
        // A refusal (a read-only or locked file) stands; MoveFileExW is for a file system that cannot replace, and for
        // an old file that is gone (after ERROR_UNABLE_TO_MOVE_REPLACEMENT, or removed meanwhile).
        if (!CannotReplace(error) && Exists(target))
            return NotWritten(error);
    }
    if (::MoveFileExW(temporary.Path().c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        temporary.Keep();
        return {true, {}};
    }
    const DWORD error = ::GetLastError();
    // With the old file gone, the temporary file holds the only copy of the settings.
    if (existed && !Exists(target))
        temporary.Keep();
    return NotWritten(error);
}

bool FileSystem::IsOrdinaryFile(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(Utf8ToWide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

}  // namespace nimbrel::win32
