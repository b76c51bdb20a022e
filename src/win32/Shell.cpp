#include "win32/Shell.h"

#include <windows.h>

#include <shellapi.h>
#include <shldisp.h>
#include <shlobj.h>

#include <vector>

#include "win32/Com.h"
#include "win32/Handles.h"
#include "win32/Strings.h"

namespace nimbrel::win32 {
namespace {

// {13709620-C279-11CE-A49E-444553540000}: the shell automation object.
constexpr CLSID kShellClass = {0x13709620, 0xc279, 0x11ce, {0xa4, 0x9e, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// {D8F015C0-C278-11CE-A49E-444553540000}: its IShellDispatch interface.
constexpr IID kShellDispatch = {0xd8f015c0, 0xc278, 0x11ce, {0xa4, 0x9e, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

}  // namespace

SpecialFolder Shell::GetSpecialFolder(int csidl) {
    SpecialFolder folder;
    LPITEMIDLIST list = nullptr;
    folder.result = ::SHGetSpecialFolderLocation(nullptr, csidl, &list);
    UniqueIdList owned(list);
    if (folder.result != 0)
        return folder;
    // One more than MAX_PATH, so that even the longest path leaves a NUL behind it.
    std::wstring buffer(MAX_PATH + 1, L'\0');
    ::SHGetPathFromIDListW(owned.get(), buffer.data());
    folder.buffer = WideToUtf8(buffer);
    return folder;
}

bool Shell::OpenDocument(const std::string& file) {
    const std::wstring wide = Utf8ToWide(file);
    const HINSTANCE result = ::ShellExecuteW(owner_, nullptr, wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

bool Shell::OpenControlPanelItem(const std::string& applet) {
    ComPtr<IShellDispatch> shell;
    if (FAILED(::CoCreateInstance(kShellClass, nullptr, CLSCTX_INPROC_SERVER, kShellDispatch, shell.put_void())) ||
        !shell)
        return false;
    UniqueBstr name(::SysAllocString(Utf8ToWide(applet).c_str()));
    if (!name)
        return false;
    return SUCCEEDED(shell->ControlPanelItem(name.get()));
}

std::wstring QuotedArguments(const std::vector<std::wstring>& arguments) {
    std::wstring line;
    for (const std::wstring& argument : arguments) {
        if (!line.empty())
            line.push_back(L' ');
        line += QuoteArgument(argument);
    }
    return line;
}

std::wstring ProcessCommandLine(const std::wstring& executablePath, const std::vector<std::wstring>& arguments) {
    std::wstring line = QuoteArgument(executablePath);
    if (!arguments.empty())
        line += L" " + QuotedArguments(arguments);
    return line;
}

DWORD StartExecutable(ProcessStarter startProcess,
                      HWND owner,
                      const std::wstring& executablePath,
                      const std::vector<std::wstring>& arguments) {
    std::wstring commandLine = ProcessCommandLine(executablePath, arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    // CreateProcessW may write into the command line, so it gets the string's own buffer.
    if (!startProcess(executablePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
        const DWORD error = ::GetLastError();
        if (error != kElevationRequired)
            return error;
        // The program's manifest asks for administrator rights: the shell starts it once the user consents.
        const std::wstring parameters = QuotedArguments(arguments);
        SHELLEXECUTEINFOW elevated{};
        elevated.cbSize = sizeof(elevated);
        elevated.hwnd = owner;
        elevated.lpFile = executablePath.c_str();
        elevated.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
        elevated.nShow = SW_SHOWNORMAL;
        return ::ShellExecuteExW(&elevated) ? ERROR_SUCCESS : ::GetLastError();
    }
    KernelHandle processHandle(process.hProcess);
    KernelHandle threadHandle(process.hThread);
    return ERROR_SUCCESS;
}

bool Shell::StartProcess(const std::string& executablePath) {
    return StartExecutable(startProcess_, owner_, Utf8ToWide(executablePath), {}) == ERROR_SUCCESS;
}

std::wstring FolderOf(const std::wstring& fileName) {
    const std::size_t slash = fileName.find_last_of(L'\\');
    if (slash == std::wstring::npos)
        return {};
    // "C:\Nimbrel.exe" lives in "C:\", not in "C:".
    if (slash == 2 && fileName[1] == L':')
        return fileName.substr(0, 3);
    return fileName.substr(0, slash);
}

std::string Process::ExecutableFolder() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size())
            return WideToUtf8(FolderOf(std::wstring(buffer.data(), length)));
        // Truncated: long paths need a bigger buffer.
        if (buffer.size() >= 32768)
            return {};
        buffer.resize(buffer.size() * 2);
    }
}

void Process::EndProgram() {
    ::ExitProcess(0);
}

}  // namespace nimbrel::win32
