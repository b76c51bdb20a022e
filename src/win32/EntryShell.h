// The shell's windows and program starts for the user's entries: the property sheet, the "Add to the bar" file dialog
// and a program started with dropped files.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/Platform.h"
#include "win32/Shell.h"

namespace nimbrel::win32 {

inline constexpr const wchar_t* kAddDialogTitle = L"Add to the bar";

class EntryShell final : public IEntryShell {
public:
    // owner: the window that owns the dialog, the sheet and the shell's questions (may be null).
    explicit EntryShell(HWND owner, ProcessStarter startProcess = ::CreateProcessW)
        : owner_(owner), startProcess_(startProcess) {}

    Outcome ShowProperties(const std::string& path) override;
    // IFileOpenDialog; needs the thread's COM apartment.
    FileChoice ChooseFiles() override;
    // An ".exe" or ".com" through CreateProcessW (StartExecutable), anything else through ShellExecuteExW with the
    // arguments as its parameters, which a shortcut puts after its own.
    Outcome StartWith(const std::string& program, const std::vector<std::string>& arguments) override;

private:
    HWND owner_;
    ProcessStarter startProcess_;
};

}  // namespace nimbrel::win32
