// The settings file and the install checks, through the wide-character file API.
#pragma once

#include "platform/Platform.h"

namespace nimbrel::win32 {

class FileSystem final : public IFileSystem {
public:
    ReadResult ReadTextFile(const std::string& path) override;
    bool WriteTextFile(const std::string& path, const std::string& text) override;
    ReadResult ReadFileBytes(const std::string& path) override;
    // Writes a flushed temporary file in the same folder, then puts it in the file's place with ReplaceFileW (which
    // keeps the old file's attributes and security) or, for a new file or where that fails, MoveFileExW.
    WriteResult ReplaceFileBytes(const std::string& path, const std::string& bytes) override;
    bool IsOrdinaryFile(const std::string& path) override;
};

}  // namespace nimbrel::win32
