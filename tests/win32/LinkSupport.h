// Helpers of the Links tests: shortcuts made through the shell's own link object, and a message loop run until
// something happened.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace nimbrel::win32::test {

struct ShortcutFields {
    std::wstring target;
    std::wstring arguments;
    std::wstring workingFolder;
    int showCommand = SW_SHOWNORMAL;
};

// Saves a shell link at path; false on failure. COM must be initialised on the calling thread.
bool MakeShortcut(const std::wstring& path, const ShortcutFields& fields);

// Dispatches this thread's messages until done() holds or the time is up; true when done() held.
bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds);

// Copies the test folder's argv_recorder.exe to path; false on failure.
bool PlaceRecorder(const std::wstring& path);

// The recorder's report beside it, waited for up to ten seconds; empty when none came.
std::string WaitForRecorderReport(const std::wstring& recorder);

}  // namespace nimbrel::win32::test
