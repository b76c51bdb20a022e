// Helpers shared by the Win32 tests: a scratch folder that removes itself, and small file utilities.
#pragma once

#include <windows.h>

#include <string>

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

}  // namespace nimbrel::win32::test
