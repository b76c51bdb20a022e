// The Links folder's files through the wide-character file API, the shell link object and the shell's file
// operation, which puts what it deletes in the Recycle Bin.
#pragma once

#include <windows.h>

#include <string>

#include "platform/Platform.h"

namespace nimbrel::win32 {

class EntryFiles final : public IEntryFiles {
public:
    // owner: the window that owns what the shell asks (may be null).
    explicit EntryFiles(HWND owner) : owner_(owner) {}

    PathKind KindOf(const std::string& path) override;
    Outcome MakeFolder(const std::string& path) override;
    // A copy is neither hidden nor a system file, whatever its source was: the bar lists neither.
    Outcome Copy(const std::string& from, const std::string& to) override;
    Outcome WriteShellLink(const std::string& path, const std::string& target) override;
    Outcome WriteNewFile(const std::string& path, const std::string& bytes) override;
    // SHFileOperationW with FOF_ALLOWUNDO, which Windows and Wine (into the XDG trash) both carry out;
    // FOF_WANTNUKEWARNING makes the shell ask before it deletes for good what the bin cannot take.
    Outcome Recycle(const std::string& path) override;

private:
    HWND owner_;
};

// The text for a result of SHFileOperationW, whose codes below 0x10000 are partly its own and not system errors.
std::string FileOperationReason(int result);

}  // namespace nimbrel::win32
