// The shell's services: special folders, documents and addresses, control-panel applets and process start.
#pragma once

#include <windows.h>

#include <string>

#include "platform/Platform.h"

namespace nimbrel::win32 {

class Shell final : public IShell {
public:
    // owner: the window that owns what the shell shows (may be null).
    explicit Shell(HWND owner) : owner_(owner) {}

    SpecialFolder GetSpecialFolder(int csidl) override;
    bool OpenDocument(const std::string& file) override;
    bool OpenControlPanelItem(const std::string& applet) override;
    bool StartProcess(const std::string& executablePath) override;

private:
    HWND owner_;
};

// The command line that StartProcess gives the new process: the path alone, quoted.
std::wstring ProcessCommandLine(const std::wstring& executablePath);

class Process final : public IProcess {
public:
    std::string ExecutableFolder() override;
    void EndProgram() override;
};

// Cuts a full file name at its last backslash, keeping the backslash only at a drive root ("C:\").
std::wstring FolderOf(const std::wstring& fileName);

}  // namespace nimbrel::win32
