#include "win32/EntryFiles.h"

#include <shellapi.h>
#include <shlobj.h>

#include "win32/Com.h"
#include "win32/Handles.h"
#include "win32/Shell.h"
#include "win32/Strings.h"

namespace nimbrel::win32 {
namespace {

// {00021401-0000-0000-C000-000000000046}, the shell's link object (see StartupShortcut.cpp for why not from uuid.lib).
constexpr CLSID kShellLink = {0x00021401, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

Outcome Done() {
    return {true, {}};
}

Outcome Failed(DWORD error) {
    return {false, SystemReason(error)};
}

Outcome LastError() {
    return Failed(::GetLastError());
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

PathKind EntryFiles::KindOf(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(Utf8ToWide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return PathKind::Missing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::Folder : PathKind::File;
}

Outcome EntryFiles::MakeFolder(const std::string& path) {
    const std::wstring folder = Utf8ToWide(path);
    if (::CreateDirectoryW(folder.c_str(), nullptr))
        return Done();
    const DWORD error = ::GetLastError();
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (error == ERROR_ALREADY_EXISTS && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return Done();
    return Failed(error);
}

Outcome EntryFiles::Copy(const std::string& from, const std::string& to) {
    const std::wstring target = Utf8ToWide(to);
    if (!::CopyFileW(Utf8ToWide(from).c_str(), target.c_str(), TRUE))
        return LastError();
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0)
        ::SetFileAttributesW(target.c_str(), attributes & ~(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    return Done();
}

Outcome EntryFiles::WriteShellLink(const std::string& path, const std::string& target) {
    const std::wstring file = Utf8ToWide(path);
    // IPersistFile::Save replaces what is there.
    if (Exists(file))
        return Failed(ERROR_FILE_EXISTS);
    const std::wstring wideTarget = Utf8ToWide(target);
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> persist;
    HRESULT result =
        ::CoCreateInstance(kShellLink, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IShellLinkW), link.put_void());
    if (SUCCEEDED(result))
        result = link->SetPath(wideTarget.c_str());
    if (SUCCEEDED(result))
        result = link->SetWorkingDirectory(FolderOf(wideTarget).c_str());
    if (SUCCEEDED(result))
        result = link->QueryInterface(__uuidof(IPersistFile), persist.put_void());
    if (SUCCEEDED(result))
        result = persist->Save(file.c_str(), TRUE);
    return SUCCEEDED(result) ? Done() : Failed(static_cast<DWORD>(result));
}

Outcome EntryFiles::WriteNewFile(const std::string& path, const std::string& bytes) {
    const std::wstring file = Utf8ToWide(path);
    KernelHandle handle(
        ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle)
        return LastError();
    DWORD written = 0;
    const bool wrote = ::WriteFile(handle.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    if (wrote && written == bytes.size())
        return Done();
    // A full disk leaves a part of the file: nothing of it stays.
    const DWORD error = wrote ? ERROR_DISK_FULL : ::GetLastError();
    handle.reset();
    ::DeleteFileW(file.c_str());
    return Failed(error);
}

Outcome EntryFiles::Recycle(const std::string& path) {
    std::wstring from = Utf8ToWide(path);
    // Asked for what is not there, the shell would offer to delete it for good rather than fail.
    if (!Exists(from))
        return LastError();
    from.push_back(L'\0');  // the list ends with a second NUL
    SHFILEOPSTRUCTW operation{};
    operation.hwnd = owner_;
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI | FOF_WANTNUKEWARNING;
    const int result = ::SHFileOperationW(&operation);
    if (result != 0)
        return {false, FileOperationReason(result)};
    if (operation.fAnyOperationsAborted)
        return {false, "It was not deleted, as it could not go to the Recycle Bin."};
    return Done();
}

std::string FileOperationReason(int result) {
    switch (result) {
        case 0x75:  // DE_OPCANCELLED
            return "The operation was cancelled.";
        case 0x78:  // DE_ACCESSDENIEDSRC
            return "Access is denied.";
        case 0x7C:  // DE_INVALIDFILES
            return "The path is not valid.";
        case 0xB7:  // DE_ERROR_MAX
            return "The path is too long.";
        case 0x402:  // an unknown error
            return "The shell could not complete the operation.";
        default:
            return SystemReason(static_cast<DWORD>(result));
    }
}

}  // namespace nimbrel::win32
