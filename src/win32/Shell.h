// The shell's services: special folders, documents and addresses, control-panel applets and process start.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/Platform.h"

namespace nimbrel::win32 {

// ERROR_ELEVATION_REQUIRED, which MinGW-w64's headers lack: the program's manifest asks for administrator rights.
inline constexpr DWORD kElevationRequired = 740;

// The way a process is started: CreateProcessW, or a stand-in that a test gives the shell.
using ProcessStarter = BOOL(WINAPI*)(LPCWSTR,
                                     LPWSTR,
                                     LPSECURITY_ATTRIBUTES,
                                     LPSECURITY_ATTRIBUTES,
                                     BOOL,
                                     DWORD,
                                     LPVOID,
                                     LPCWSTR,
                                     LPSTARTUPINFOW,
                                     LPPROCESS_INFORMATION);

class Shell final : public IShell {
public:
    // owner: the window that owns what the shell shows (may be null).
    explicit Shell(HWND owner, ProcessStarter startProcess = ::CreateProcessW)
        : owner_(owner), startProcess_(startProcess) {}

    SpecialFolder GetSpecialFolder(int csidl) override;
    bool OpenDocument(const std::string& file) override;
    bool OpenControlPanelItem(const std::string& applet) override;
    bool StartProcess(const std::string& executablePath) override;

private:
    HWND owner_;
    ProcessStarter startProcess_;
};

// The command line that a started program gets: its path, then each argument, each quoted.
std::wstring ProcessCommandLine(const std::wstring& executablePath, const std::vector<std::wstring>& arguments = {});
// The arguments alone, each quoted, as the shell's parameters.
std::wstring QuotedArguments(const std::vector<std::wstring>& arguments);

// Starts the executable at this full path with a normal focused window, not waiting for it; one whose manifest asks
// for administrator rights is handed to the shell, which asks the user first. ERROR_SUCCESS or the system's error.
DWORD StartExecutable(ProcessStarter startProcess,
                      HWND owner,
                      const std::wstring& executablePath,
                      const std::vector<std::wstring>& arguments);

class Process final : public IProcess {
public:
    std::string ExecutableFolder() override;
    void EndProgram() override;
};

// Cuts a full file name at its last backslash, keeping the backslash only at a drive root ("C:\").
std::wstring FolderOf(const std::wstring& fileName);

}  // namespace nimbrel::win32
