#include "win32/StartupShortcut.h"

#include <windows.h>

#include <shlobj.h>

#include <vector>

#include "win32/Com.h"
#include "win32/Shell.h"
#include "win32/SingleBar.h"
#include "win32/Strings.h"

namespace nimbrel::win32 {
namespace {

constexpr const wchar_t* kShortcutName = L"\\Nimbrel.lnk";
// {00021401-0000-0000-C000-000000000046}, the shell's link object; the interfaces come by __uuidof, so that no GUID
// is taken from uuid.lib, whose one object clashes with oleacc's in the test program.
constexpr CLSID kShellLink = {0x00021401, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

std::wstring ThisExecutable() {
    std::vector<wchar_t> path(32768);
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    return std::wstring(path.data(), length);
}

WriteResult Failed(HRESULT result) {
    return {false, SystemReason(static_cast<DWORD>(result))};
}

}  // namespace

StartupShortcut::StartupShortcut(std::wstring folder) : folder_(std::move(folder)) {}

std::wstring StartupShortcut::Path() const {
    if (!folder_.empty())
        return folder_ + kShortcutName;
    wchar_t startup[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_STARTUP, nullptr, SHGFP_TYPE_CURRENT, startup)))
        return {};
    return startup + std::wstring(kShortcutName);
}

bool StartupShortcut::Present() {
    const std::wstring path = Path();
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> file;
    if (path.empty() || ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES ||
        FAILED(::CoCreateInstance(kShellLink, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IShellLinkW), link.put_void())) ||
        FAILED(link->QueryInterface(__uuidof(IPersistFile), file.put_void())) ||
        FAILED(file->Load(path.c_str(), STGM_READ)))
        return false;
    std::vector<wchar_t> target(32768);
    if (link->GetPath(target.data(), static_cast<int>(target.size()), nullptr, SLGP_RAWPATH) != S_OK)
        return false;
    // A shortcut of another copy of the program, in another folder, starts that one.
    return SamePath(CanonicalPath(target.data()), CanonicalPath(ThisExecutable()));
}

WriteResult StartupShortcut::Set(bool present) {
    const std::wstring path = Path();
    if (path.empty())
        return Failed(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    if (!present) {
        if (::DeleteFileW(path.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND)
            return {true, {}};
        return {false, SystemReason(::GetLastError())};
    }
    const std::wstring exe = ThisExecutable();
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> file;
    HRESULT result =
        ::CoCreateInstance(kShellLink, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IShellLinkW), link.put_void());
    if (SUCCEEDED(result))
        result = link->SetPath(exe.c_str());
    if (SUCCEEDED(result))
        result = link->SetWorkingDirectory(FolderOf(exe).c_str());
    if (SUCCEEDED(result))
        result = link->SetIconLocation(exe.c_str(), 0);
    if (SUCCEEDED(result))
        result = link->SetShowCmd(SW_SHOWNORMAL);
    if (SUCCEEDED(result))
        result = link->QueryInterface(__uuidof(IPersistFile), file.put_void());
    if (SUCCEEDED(result))
        result = file->Save(path.c_str(), TRUE);
    return SUCCEEDED(result) ? WriteResult{true, {}} : Failed(result);
}

}  // namespace nimbrel::win32
