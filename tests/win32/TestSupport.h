// Helpers shared by the Win32 tests: a scratch folder that removes itself, and small file utilities.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace nimbrel::win32::test {

// A fresh folder under the user's temporary folder; removed with everything in it when the object goes.
class ScratchFolder {
public:
    ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder();

    const std::wstring& Path() const { return path_; }
    std::wstring Join(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

// Writes bytes to a file as they are; false on failure.
bool WriteRawFile(const std::wstring& path, const std::string& bytes);
// Reads a file's bytes as they are; empty when it cannot be read.
std::string ReadRawFile(const std::wstring& path);
// The folder of the running test program.
std::wstring TestProgramFolder();

// A copy of argv_recorder.exe as folder\subfolder\name; its full path.
std::wstring PlaceRecorder(const ScratchFolder& folder, const std::wstring& subfolder, const std::wstring& name);
// The report that the recorder at this path wrote of how it was started; empty after ten seconds without one.
std::string WaitForReport(const std::wstring& recorder);
// The recorder's arguments as it reports them, argv[0] first.
std::vector<std::string> ReportedArguments(const std::string& report);
// Dispatches this thread's messages for about this long.
void PumpFor(DWORD milliseconds);

}  // namespace nimbrel::win32::test
