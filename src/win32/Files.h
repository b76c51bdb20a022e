// The settings file and the install checks, through the wide-character file API.
#pragma once

#include "platform/Platform.h"

namespace nimbrel::win32 {

class FileSystem final : public IFileSystem {
public:
    ReadResult ReadTextFile(const std::string& path) override;
    bool WriteTextFile(const std::string& path, const std::string& text) override;
    bool IsOrdinaryFile(const std::string& path) override;
};

}  // namespace nimbrel::win32
