// One bar per program folder: a second start of the same Nimbrel.exe hands over to the running bar and ends.
// Copies in other folders, with their own settings files, run side by side.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "win32/Handles.h"

namespace nimbrel::win32 {

// The path as Windows resolves it (long names, links followed, no \\?\ prefix); the path itself when it
// cannot be opened.
std::wstring CanonicalPath(const std::wstring& path);

// True when the two paths are equal as Windows compares file names: ordinal, ignoring case.
bool SamePath(std::wstring_view a, std::wstring_view b);

// The name of the mutex that the bar of this folder holds in the user's session: the same for spellings that
// differ only in case, different for any other folder.
std::wstring BarMutexName(std::wstring_view canonicalFolder);

// Holds the folder's mutex while the bar runs. The system releases it with the process, however that ends, so a
// crashed bar never keeps the next one from starting.
class BarClaim {
public:
    explicit BarClaim(std::wstring_view canonicalFolder);
    BarClaim(const BarClaim&) = delete;
    BarClaim& operator=(const BarClaim&) = delete;

    // False when a process that is still running holds the folder's bar.
    bool Won() const { return won_; }

private:
    KernelHandle mutex_;
    bool won_ = true;
};

// Tells the bar running from the folder to come back, letting it take the foreground. False when no such bar
// answered within a few seconds (hung, crashed, or its window gone).
bool RecallRunningBar(const std::wstring& canonicalFolder);

}  // namespace nimbrel::win32
